// Icons and cursors made by another tool (icotool) parse into the images that
// tool lists.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <sstream>

#include "base/stream.h"
#include "icon/advanced_icon.h"
#include "icon_builders.h"
#include "pictures.h"
#include "pixels/png_image.h"
#include "support/temp_folder.h"

using namespace icofmt;
using namespace icotest;

namespace {

std::string run(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buf[512];
    while (fgets(buf, sizeof buf, p)) out += buf;
    pclose(p);
  }
  return out;
}

struct Listed {
  int width, height, depth, hotX = -1, hotY = -1;
};

std::vector<Listed> listWithIcotool(const std::string& file) {
  std::vector<Listed> images;
  std::istringstream lines(run("icotool -l '" + file + "'"));
  std::string line;
  const std::regex field("--(width|height|bit-depth|hotspot-x|hotspot-y)=(\\d+)");
  while (std::getline(lines, line)) {
    Listed l{};
    for (std::sregex_iterator it(line.begin(), line.end(), field), end; it != end; ++it) {
      const int v = std::stoi((*it)[2]);
      const std::string key = (*it)[1];
      if (key == "width") l.width = v;
      if (key == "height") l.height = v;
      if (key == "bit-depth") l.depth = v;
      if (key == "hotspot-x") l.hotX = v;
      if (key == "hotspot-y") l.hotY = v;
    }
    images.push_back(l);
  }
  return images;
}

class OtherTool : public ::testing::Test {
 protected:
  void SetUp() override {
    if (run("command -v icotool").empty())
      GTEST_SKIP() << "icotool is not installed (scripts/setup.sh installs it)";
  }
  test::TempFolder dir_;
};

}  // namespace

TEST_F(OtherTool, IconsOfEveryDepthAndSizeParseIntoTheListedImages) {
  auto twoColours = [](uint32_t x, uint32_t) { return x % 2 ? 0xFF0000FFu : 0x0000FFFFu; };
  auto manyColours = [](uint32_t x, uint32_t y) { return (x * 0x010307u + y * 0x070301u) << 8 | 0xFFu; };
  auto holes = [](uint32_t x, uint32_t y) { return (x + y) % 3 ? 0x20C040FFu : 0u; };
  std::string inputs;
  int n = 0;
  for (auto [size, depth] :
       {std::pair{16u, 1}, {16u, 4}, {24u, 8}, {32u, 24}, {48u, 32}, {1u, 32}, {7u, 8}, {33u, 4}}) {
    const std::string png =
        dir_.write("in" + std::to_string(n) + ".png",
                   depth <= 1   ? rgbaPng(size, size, twoColours)
                   : depth < 32 ? rgbaPng(size, size, depth == 24 ? manyColours : twoColours)
                                : rgbaPng(size, size, holes));
    const std::string ico = dir_.file("d" + std::to_string(n++) + ".ico");
    run("icotool -c -b " + std::to_string(depth) + " -o '" + ico + "' '" + png + "'");
    inputs += " '" + png + "'";
  }
  const std::string raw = dir_.write("big.png", rgbaPng(256, 256, manyColours));
  const std::string multi = dir_.file("multi.ico");
  run("icotool -c -o '" + multi + "'" + inputs + " --raw='" + raw + "'");

  for (int i = 0; i <= n; ++i) {
    const std::string file = i < n ? dir_.file("d" + std::to_string(i) + ".ico") : multi;
    const auto listed = listWithIcotool(file);
    ASSERT_FALSE(listed.empty()) << file;
    TAdvancedIcon icon;
    ASSERT_TRUE(icon.LoadFromFile(file)) << file;
    ASSERT_EQ(icon.Images().Count(), listed.size()) << file;
    for (size_t k = 0; k < listed.size(); ++k) {
      const TSubIcon& image = *icon.Images().Items(static_cast<uint32_t>(k));
      EXPECT_EQ(image.Width(), listed[k].width) << file << " image " << k;
      EXPECT_EQ(image.Height(), listed[k].height) << file << " image " << k;
      EXPECT_EQ(image.BitCount(), listed[k].depth) << file << " image " << k;
    }
    // What we write back, the other tool lists the same way.
    TMemoryStream out;
    icon.SaveToStream(out);
    const std::string back = dir_.write("back.ico", out.Bytes());
    const auto relisted = listWithIcotool(back);
    ASSERT_EQ(relisted.size(), listed.size());
    for (size_t k = 0; k < listed.size(); ++k) {
      EXPECT_EQ(relisted[k].width, listed[k].width);
      EXPECT_EQ(relisted[k].depth, listed[k].depth);
    }
  }
}

TEST_F(OtherTool, CursorsKeepTheirHotSpots) {
  const std::string png =
      dir_.write("c.png", rgbaPng(32, 32, [](uint32_t x, uint32_t) { return x * 0x07000000u | 0xFF; }));
  const std::string cur = dir_.file("c.cur");
  run("icotool -c --cursor --hotspot-x=3 --hotspot-y=29 -o '" + cur + "' '" + png + "'");
  const auto listed = listWithIcotool(cur);
  ASSERT_EQ(listed.size(), 1u);
  TAdvancedCursor cursor;
  TFileStream in(cur, TFileStream::Mode::OpenRead);
  ASSERT_TRUE(cursor.LoadCursorFromStream(in));
  ASSERT_EQ(cursor.Images().Count(), 1);
  const TSubIcon& image = *cursor.Images().Items(0);
  EXPECT_EQ(image.HotSpot().X, listed[0].hotX);
  EXPECT_EQ(image.HotSpot().Y, listed[0].hotY);
  EXPECT_EQ(image.Width(), 32);
  EXPECT_EQ(image.BitCount(), listed[0].depth);
}

namespace {

// RGBA bytes, top row first, of what our export makes of the image.
Bytes ourRgba(const TSubIcon& image) { return rgbaOf(exported(image)); }

Bytes pngRgba(const std::string& file) {
  PngImage png;
  png.LoadFromMemory(readFileBytes(file));
  return rgbaOf(png);
}

// Same transparency everywhere and the same colour wherever opaque.
void expectSamePicture(const Bytes& ours, const Bytes& theirs, const std::string& who) {
  ASSERT_EQ(ours.size(), theirs.size()) << who;
  for (size_t i = 0; i < ours.size(); i += 4) {
    ASSERT_EQ(ours[i + 3] == 0, theirs[i + 3] == 0) << who << " pixel " << i / 4;
    if (ours[i + 3] == 0) continue;
    ASSERT_EQ(ours[i + 3], theirs[i + 3]) << who << " pixel " << i / 4;
    for (int k = 0; k < 3; ++k) ASSERT_EQ(ours[i + k], theirs[i + k]) << who << " pixel " << i / 4;
  }
}

std::string imageMagick() {
  for (const char* path : {"/usr/bin/convert-im6.q16", "/usr/bin/convert"})
    if (std::FILE* f = std::fopen(path, "rb")) {
      std::fclose(f);
      return path;
    }
  return {};
}

}  // namespace

TEST_F(OtherTool, OtherDecodersSeeTheSamePixelsAsOurExport) {
  const std::string magick = imageMagick();
  if (magick.empty()) GTEST_SKIP() << "ImageMagick is not installed (scripts/setup.sh installs it)";
  int n = 0;
  for (uint16_t bpp : {1, 4, 8, 24, 32})
    for (auto [w, h] : {std::pair{16u, 16u}, {7u, 5u}, {33u, 20u}})
      for (bool holes : {false, true}) {
        SCOPED_TRACE(testing::Message() << bpp << " bpp " << w << "x" << h << (holes ? " holes" : ""));
        const Picture p{w, h, bpp, holes};
        EntrySpec e;
        e.block = p.block();
        // Other readers trust the directory, so it is filled in as a writer would.
        e.width = static_cast<uint8_t>(w);
        e.height = static_cast<uint8_t>(h);
        e.colorCount = bpp < 8 ? static_cast<uint8_t>(1 << bpp) : 0;
        e.planes = 1;
        e.bitCount = bpp;
        const std::string name = "p" + std::to_string(n++);
        const std::string ico = dir_.write(name + ".ico", iconFile({e}));
        TAdvancedIcon icon;
        ASSERT_TRUE(icon.LoadFromFile(ico));
        const Bytes ours = ourRgba(*icon.Images().Items(0));

        const std::string raw = dir_.file(name + ".rgba");
        run("'" + magick + "' '" + ico + "' -depth 8 'rgba:" + raw + "' 2>/dev/null");
        expectSamePicture(ours, readFileBytes(raw), "ImageMagick");
        // icotool reads 24-bit rows without their padding; only ImageMagick
        // is a fair judge of those.
        if (bpp == 24 && (w * 3) % 4 != 0) continue;
        const std::string outDir = dir_.file(name + "_x");
        std::filesystem::create_directories(outDir);
        run("icotool -x -o '" + outDir + "/' '" + ico + "' 2>/dev/null");
        std::string extracted;
        for (const auto& entry : std::filesystem::directory_iterator(outDir))
          extracted = entry.path().string();
        ASSERT_FALSE(extracted.empty());
        expectSamePicture(ours, pngRgba(extracted), "icotool");
      }
}

TEST_F(OtherTool, IconsMadeByImageMagickReadAsItReadsThem) {
  const std::string magick = imageMagick();
  if (magick.empty()) GTEST_SKIP() << "ImageMagick is not installed (scripts/setup.sh installs it)";
  const std::string png =
      dir_.write("src.png", rgbaPng(64, 64, [](uint32_t x, uint32_t y) {
                   return (x * 4) << 24 | (y * 4) << 16 | 0x8000 | ((x + y) % 7 ? 0xFF : 0x00);
                 }));
  const std::string ico = dir_.file("im.ico");
  run("'" + magick + "' '" + png + "' -define icon:auto-resize=256,48,32,16 '" + ico + "' 2>/dev/null");
  TAdvancedIcon icon;
  ASSERT_TRUE(icon.LoadFromFile(ico));
  ASSERT_EQ(icon.Images().Count(), 4);
  for (uint32_t i = 0; i < 4; ++i) {
    const TSubIcon& image = *icon.Images().Items(i);
    SCOPED_TRACE(image.Description());
    const std::string raw = dir_.file("im" + std::to_string(i) + ".rgba");
    run("'" + magick + "' '" + ico + "[" + std::to_string(i) + "]' -depth 8 'rgba:" + raw + "' 2>/dev/null");
    expectSamePicture(ourRgba(image), readFileBytes(raw), "ImageMagick");
  }
}
