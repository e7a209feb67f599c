// Icons the save writes, read by other tools, and icons other tools made,
// merged into without touching their images.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <sstream>

#include "icon/lint.h"
#include "icon_builders.h"
#include "pictures.h"
#include "pixels/png_image.h"
#include "save/assembly.h"
#include "save_helpers.h"
#include "support/temp_folder.h"

using namespace icofmt;
using namespace icofmt::save;
using namespace savetest;

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

bool have(const std::string& program) { return !run("command -v " + program + " 2>/dev/null").empty(); }
bool havePillow() { return run("/usr/bin/python3 -c 'import PIL; print(1)' 2>/dev/null") == "1\n"; }
const char kMagick[] = "/usr/bin/convert-im6.q16";
bool haveMagick() { return std::filesystem::exists(kMagick); }

std::vector<Format> listWithIcotool(const std::string& file) {
  std::vector<Format> images;
  std::istringstream lines(run("icotool -l '" + file + "'"));
  const std::regex field("--(width|height|bit-depth)=(\\d+)");
  for (std::string line; std::getline(lines, line);) {
    Format f{};
    for (std::sregex_iterator it(line.begin(), line.end(), field), end; it != end; ++it) {
      const int v = std::stoi((*it)[2]);
      if ((*it)[1] == "width") f.width = v;
      if ((*it)[1] == "height") f.height = v;
      if ((*it)[1] == "bit-depth") f.bits = v;
    }
    images.push_back(f);
  }
  return images;
}

Bytes pngRgba(const Bytes& png) {
  PngImage image;
  image.LoadFromMemory(png);
  return icotest::rgbaOf(image);
}

// Same transparency everywhere, the same colour and alpha wherever opaque.
void expectSamePicture(const Bytes& ours, const Bytes& theirs, const std::string& who) {
  ASSERT_EQ(ours.size(), theirs.size()) << who;
  for (size_t i = 0; i < ours.size(); i += 4) {
    ASSERT_EQ(ours[i + 3] == 0, theirs[i + 3] == 0) << who << " pixel " << i / 4;
    if (ours[i + 3] == 0) continue;
    for (int k = 0; k < 4; ++k) ASSERT_EQ(ours[i + k], theirs[i + k]) << who << " pixel " << i / 4;
  }
}

uint32_t picture(int x, int y) {
  const uint32_t alpha = (x + y) % 5 == 0 ? 0 : (x * 3 + y) % 7 == 0 ? 120 : 255;
  return uint32_t(x * 9 & 0xFF) << 24 | uint32_t(y * 13 & 0xFF) << 16 | uint32_t((x ^ y) * 5 & 0xFF) << 8 |
         alpha;
}

// Every depth the form offers, at sizes other readers treat differently,
// merged into one icon as a user saving again and again would.
Bytes iconOfEveryDepth() {
  Bytes icon;
  for (auto [side, depth] :
       {std::pair{16, 1}, {16, 4}, {32, 4}, {32, 8}, {48, 8}, {32, 24}, {48, 32}, {256, 32}}) {
    const Source s = rgbSource(side, side, picture);
    EXPECT_GE(AddBitmapToIconStream(&s.bitmap, &s.mask, &icon, depth, true, kMergeAdd), 0);
  }
  return icon;
}

class SavedIconsElsewhere : public ::testing::Test {
 protected:
  void SetUp() override {
    icon_ = iconOfEveryDepth();
    file_ = dir_.write("saved.ico", icon_);
    TAdvancedIcon read;
    ASSERT_TRUE(loadIcon(icon_, read));
    for (uint32_t i = 0; i < read.Images().Count(); ++i)
      ours_.push_back(icotest::rgbaOf(icotest::exported(*read.Images().Items(i))));
  }
  test::TempFolder dir_;
  Bytes icon_;
  std::string file_;
  std::vector<Bytes> ours_;
};

}  // namespace

TEST_F(SavedIconsElsewhere, IcotoolListsAndExtractsEveryImage) {
  if (!have("icotool")) GTEST_SKIP() << "icotool is not installed (scripts/setup.sh installs it)";
  const auto formats = formatsOf(icon_);
  ASSERT_EQ(formats.size(), 8u);
  EXPECT_EQ(listWithIcotool(file_), formats);
  const std::string out = dir_.file("x");
  std::filesystem::create_directories(out);
  run("icotool -x -o '" + out + "/' '" + file_ + "' 2>/dev/null");
  for (size_t i = 0; i < formats.size(); ++i) {
    const std::regex name(".*_" + std::to_string(i + 1) + "_\\d+x\\d+x\\d+\\.png");
    std::string extracted;
    for (const auto& e : std::filesystem::directory_iterator(out))
      if (std::regex_match(e.path().string(), name)) extracted = e.path().string();
    ASSERT_FALSE(extracted.empty()) << "image " << i;
    expectSamePicture(ours_[i], pngRgba(readFileBytes(extracted)), "icotool image " + std::to_string(i));
  }
}

TEST_F(SavedIconsElsewhere, ImageMagickSeesTheSameImagesAndPixels) {
  if (!haveMagick()) GTEST_SKIP() << "ImageMagick is not installed (scripts/setup.sh installs it)";
  const auto formats = formatsOf(icon_);
  std::istringstream listed(run("identify -format '%w %h\\n' '" + file_ + "' 2>/dev/null"));
  std::vector<std::pair<int, int>> sizes;
  for (int w, h; listed >> w >> h;) sizes.emplace_back(w, h);
  ASSERT_EQ(sizes.size(), formats.size());
  for (size_t i = 0; i < formats.size(); ++i) {
    EXPECT_EQ(sizes[i], std::pair(formats[i].width, formats[i].height));
    const std::string raw = dir_.file("im" + std::to_string(i) + ".rgba");
    run(std::string("'") + kMagick + "' '" + file_ + "[" + std::to_string(i) + "]' -depth 8 'rgba:" + raw +
        "' 2>/dev/null");
    expectSamePicture(ours_[i], readFileBytes(raw), "ImageMagick image " + std::to_string(i));
  }
}

TEST_F(SavedIconsElsewhere, PillowSeesTheSameImagesAndPixels) {
  if (!havePillow()) GTEST_SKIP() << "Pillow is not installed (scripts/setup.sh installs python3-pil)";
  // Pillow orders the images its own way; the block offset names each one.
  const std::string script = dir_.write("read.py", [] {
    const std::string text =
        "import sys\n"
        "from PIL import IcoImagePlugin\n"
        "with open(sys.argv[1], 'rb') as f:\n"
        "    ico = IcoImagePlugin.IcoFile(f)\n"
        "    for i, e in enumerate(ico.entry):\n"
        "        im = ico.frame(i).convert('RGBA')\n"
        "        open(sys.argv[2] + '/' + str(e['offset']), 'wb').write(im.tobytes())\n"
        "        print(e['offset'], im.size[0], im.size[1])\n";
    return Bytes(text.begin(), text.end());
  }());
  const std::string out = dir_.file("pil");
  std::filesystem::create_directories(out);
  std::istringstream listed(run("/usr/bin/python3 '" + script + "' '" + file_ + "' '" + out + "' 2>&1"));
  std::map<uint32_t, std::pair<int, int>> sizes;
  for (uint32_t offset; listed >> offset;) listed >> sizes[offset].first >> sizes[offset].second;
  const auto formats = formatsOf(icon_);
  ASSERT_EQ(sizes.size(), formats.size());
  for (size_t i = 0; i < formats.size(); ++i) {
    const size_t at = 6 + 16 * i + 12;
    const uint32_t offset =
        icon_[at] | icon_[at + 1] << 8 | icon_[at + 2] << 16 | uint32_t(icon_[at + 3]) << 24;
    ASSERT_TRUE(sizes.count(offset)) << "image " << i;
    EXPECT_EQ(sizes[offset], std::pair(formats[i].width, formats[i].height));
    expectSamePicture(ours_[i], readFileBytes(out + "/" + std::to_string(offset)),
                      "Pillow image " + std::to_string(i));
  }
}

namespace {

// Merging a new format and replacing the first image's format leave every
// other image as it was: a bitmap block byte for byte, a PNG pixel for pixel.
// Counts the PNG images it compared.
int expectUntouchedAfterMerging(const Bytes& original, const std::string& who) {
  int pngs = 0;
  SCOPED_TRACE(who);
  const auto formats = formatsOf(original);
  const auto blocks = rawBlocks(original);
  EXPECT_FALSE(formats.empty());
  if (formats.empty() || formats.size() != blocks.size()) {
    ADD_FAILURE() << "unreadable or partly readable icon";
    return 0;
  }
  const Format first = formats[0];
  const Source added = rgbSource(20, 20, picture);
  const Source replacing = rgbSource(first.width, first.height, [](int, int) { return 0x336699FFu; });
  for (int mode : {kMergeAdd, kMergeReplaceExact}) {
    Bytes merged = original;
    const Source& s = mode == kMergeAdd ? added : replacing;
    EXPECT_GE(AddBitmapToIconStream(&s.bitmap, &s.mask, &merged, mode == kMergeAdd ? 32 : first.bits,
                                    first.width == 256, mode),
              0);
    const auto after = rawBlocks(merged);
    EXPECT_EQ(after.size(), blocks.size() + (mode == kMergeAdd ? 1 : 0));
    for (size_t i = mode == kMergeAdd ? 0 : 1; i < blocks.size(); ++i) {
      SCOPED_TRACE(testing::Message()
                   << "image " << i << " " << formats[i] << (mode == kMergeAdd ? " add" : " replace"));
      if (!isPngBlock(blocks[i])) {
        EXPECT_NE(std::find(after.begin(), after.end(), blocks[i]), after.end());
        continue;
      }
      const Bytes pixels = pngRgba(blocks[i]);
      bool found = false;
      for (const Bytes& b : after) found = found || (isPngBlock(b) && pngRgba(b) == pixels);
      EXPECT_TRUE(found);
      ++pngs;
    }
  }
  return pngs;
}

}  // namespace

// The smaller sizes beside ImageMagick's Lanczos resize in linear light, on a
// photograph-like plasma, coloured line art and text over transparency: the
// mean difference of premultiplied linear samples stays within 3 % a channel.
TEST(SmallerSizes, StandBesideImageMagicksLanczosInLinearLight) {
  if (!haveMagick()) GTEST_SKIP() << "ImageMagick is not installed (scripts/setup.sh installs it)";
  const std::string font = "/usr/share/wine/fonts/tahoma.ttf";
  if (!std::filesystem::exists(font))
    GTEST_SKIP() << "fonts-wine is not installed (scripts/setup.sh installs it)";
  test::TempFolder dir;
  const std::string draw = std::string(kMagick) + " -size 256x256 ";
  const std::pair<const char*, std::string> pictures[] = {
      {"plasma", "-seed 7 plasma:fractal"},
      {"line art",
       "xc:none -fill none -strokewidth 3 -stroke red -draw 'circle 128,128 128,30' -stroke "
       "'#0080ff' -draw 'line 20,20 236,200' -stroke black -draw 'rectangle 60,70 190,140'"},
      {"text",
       "xc:none -font " + font +
           " -pointsize 60 -fill navy -draw 'text 10,100 \"Icon\"' -fill green -draw 'text 10,220 \"Aa9\"'"},
  };
  auto linear = [](uint8_t v) {
    const double c = v / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
  };
  for (const auto& [name, what] : pictures) {
    SCOPED_TRACE(name);
    const std::string in = dir.file("in.png");
    run(draw + what + " PNG32:" + in);
    const Bytes rgba = pngRgba(icofmt::readFileBytes(in));
    ASSERT_EQ(rgba.size(), 256u * 256 * 4);
    const Source s = rgbSource(256, 256, [&](int x, int y) {
      const uint8_t* p = &rgba[(static_cast<size_t>(y) * 256 + x) * 4];
      return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
    });
    Bytes icon;
    ASSERT_EQ(AddBitmapToIconStream(&s.bitmap, &s.mask, &icon, 0, false, kMergeAdd, {},
                                    {kSmallerSizes.begin(), kSmallerSizes.end()}),
              0);
    TAdvancedIcon read;
    ASSERT_TRUE(loadIcon(icon, read));
    ASSERT_EQ(read.Images().Count(), 1 + kSmallerSizes.size());
    for (uint32_t i = 1; i < read.Images().Count(); ++i) {
      const int side = read.Images().Items(i)->Width();
      SCOPED_TRACE(side);
      const Bytes ours = icotest::rgbaOf(icotest::exported(*read.Images().Items(i)));
      const std::string out = dir.file("im.png");
      run(std::string(kMagick) + " " + in + " -colorspace RGB -filter Lanczos -resize " +
          std::to_string(side) + "x" + std::to_string(side) + " -colorspace sRGB PNG32:" + out);
      const Bytes theirs = pngRgba(icofmt::readFileBytes(out));
      ASSERT_EQ(ours.size(), theirs.size());
      double difference[4] = {};
      for (size_t p = 0; p < ours.size(); p += 4) {
        for (int k = 0; k < 3; ++k)
          difference[k] +=
              std::abs(linear(ours[p + k]) * ours[p + 3] - linear(theirs[p + k]) * theirs[p + 3]) / 255;
        difference[3] += std::abs(ours[p + 3] - theirs[p + 3]) / 255.0;
      }
      for (double d : difference) EXPECT_LE(d / (ours.size() / 4), 0.03);
    }
  }
}

TEST(MergingIntoOtherIcons, KeepsEveryUntouchedImage) {
  test::TempFolder dir;
  std::vector<std::pair<std::string, Bytes>> icons;
  icons.emplace_back("sample.ico", readFileBytes(ICOFMT_SAMPLE_ICON));
  const std::string png = dir.write("in.png", icotest::rgbaPng(32, 32, [](uint32_t x, uint32_t y) {
                                      return picture(static_cast<int>(x), static_cast<int>(y));
                                    }));
  const std::string big = dir.write("big.png", icotest::rgbaPng(256, 256, [](uint32_t x, uint32_t y) {
                                      return picture(static_cast<int>(x), static_cast<int>(y));
                                    }));
  if (have("icotool")) {
    // icotool makes paletted images only of pictures without partial alpha.
    const std::string few = dir.write("few.png", icotest::rgbaPng(16, 16, [](uint32_t x, uint32_t y) {
                                        return (x + y) % 4 == 0 ? 0u : 0xFF0000FFu;
                                      }));
    for (int depth : {1, 4, 8}) {
      const std::string one = dir.file("t" + std::to_string(depth) + ".ico");
      run("icotool -c -b " + std::to_string(depth) + " -o '" + one + "' '" + few + "'");
      icons.emplace_back("icotool " + std::to_string(depth), readFileBytes(one));
      EXPECT_EQ(formatsOf(icons.back().second), (std::vector<Format>{{16, 16, depth}}));
    }
    run("icotool -c -o '" + dir.file("icotool.ico") + "' '" + png + "' '" + few + "' --raw='" + big +
        "' 2>/dev/null");
    icons.emplace_back("icotool", readFileBytes(dir.file("icotool.ico")));
    EXPECT_EQ(formatsOf(icons.back().second).size(), 3u);
  }
  if (haveMagick()) {
    run(std::string("'") + kMagick + "' '" + big + "' -define icon:auto-resize=256,48,32,16 '" +
        dir.file("im.ico") + "' 2>/dev/null");
    icons.emplace_back("ImageMagick", readFileBytes(dir.file("im.ico")));
    EXPECT_EQ(formatsOf(icons.back().second).size(), 4u);
  }
  if (havePillow()) {
    run("/usr/bin/python3 -c \"from PIL import Image; Image.open('" + big + "').save('" +
        dir.file("pil.ico") + "', sizes=[(16,16),(32,32),(48,48),(256,256)])\" 2>/dev/null");
    icons.emplace_back("Pillow", readFileBytes(dir.file("pil.ico")));
    EXPECT_EQ(formatsOf(icons.back().second).size(), 4u);
  }
  // Clean icons of every maker, the module's at every depth too, have no
  // fault that makes a reader fail.
  auto expectNoError = [](const Bytes& icon, const std::string& who) {
    for (const auto& f : lint::checkIcon(icon, who))
      EXPECT_NE(f.level, lint::Level::Error) << who << " image " << f.image << ": " << f.message;
  };
  expectNoError(iconOfEveryDepth(), "icofmt");
  for (const auto& [who, bytes] : icons) expectNoError(bytes, who);
  int pngs = 0;
  for (const auto& [who, bytes] : icons) pngs += expectUntouchedAfterMerging(bytes, who);
  if (icons.size() > 1) {
    EXPECT_GT(pngs, 0);
  }
}

namespace {

struct Listed {
  Format format;
  int hotX = -1, hotY = -1;
  bool cursor = false;
  bool operator==(const Listed&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Listed& l) {
  return os << l.format << (l.cursor ? " cursor " : " icon ") << l.hotX << "," << l.hotY;
}

std::vector<Listed> listCursorWithIcotool(const std::string& file) {
  std::vector<Listed> out;
  std::istringstream lines(run("icotool -l '" + file + "' 2>&1"));
  const std::regex field("--(width|height|bit-depth|hotspot-x|hotspot-y)=(\\d+)");
  for (std::string line; std::getline(lines, line);) {
    Listed l{};
    l.cursor = line.rfind("--cursor", 0) == 0;
    for (std::sregex_iterator it(line.begin(), line.end(), field), end; it != end; ++it) {
      const int v = std::stoi((*it)[2]);
      const std::string key = (*it)[1];
      if (key == "width") l.format.width = v;
      if (key == "height") l.format.height = v;
      if (key == "bit-depth") l.format.bits = v;
      if (key == "hotspot-x") l.hotX = v;
      if (key == "hotspot-y") l.hotY = v;
    }
    out.push_back(l);
  }
  return out;
}

}  // namespace

TEST(MergingIntoOtherIcons, CursorsStayCursorsWithTheirHotSpotsForIcotoolAndPillow) {
  if (!have("icotool")) GTEST_SKIP() << "icotool is not installed (scripts/setup.sh installs it)";
  test::TempFolder dir;
  auto png = [&](int side) {
    return dir.write("p" + std::to_string(side) + ".png",
                     icotest::rgbaPng(side, side, [](uint32_t x, uint32_t y) {
                       return picture(static_cast<int>(x), static_cast<int>(y));
                     }));
  };
  const std::string cur = dir.file("made.cur");
  run("icotool -c --cursor --hotspot-x=5 --hotspot-y=7 -o '" + cur + "' '" + png(32) +
      "' --hotspot-x=2 --hotspot-y=3 '" + png(16) + "' --hotspot-x=40 --hotspot-y=1 '" + png(48) + "'");
  const Bytes made = readFileBytes(cur);
  const auto before = listCursorWithIcotool(cur);
  ASSERT_EQ(before.size(), 3u);
  ASSERT_EQ(before[0], (Listed{{32, 32, 32}, 5, 7, true}));

  struct Case {
    const char* name;
    int side, mode;
    Listed added;  // the new image as icotool lists it
  };
  const Case cases[] = {
      {"replaced", 32, kMergeReplaceExact, {{32, 32, 32}, 5, 7, true}},
      {"added, scaled from the nearest", 64, kMergeAdd, {{64, 64, 32}, 54, 2, true}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes merged = made;
    const Source s = rgbSource(c.side, c.side, picture);
    const int32_t p = AddBitmapToIconStream(&s.bitmap, &s.mask, &merged, 32, false, c.mode);
    ASSERT_GE(p, 0);
    const std::string file = dir.write("merged.cur", merged);
    const auto after = listCursorWithIcotool(file);
    ASSERT_EQ(after.size(), before.size() + (c.mode == kMergeAdd ? 1 : 0));
    EXPECT_EQ(after[static_cast<size_t>(p)], c.added);
    for (const Listed& old : before)
      if (c.mode == kMergeAdd || !(old == c.added)) {
        EXPECT_NE(std::find(after.begin(), after.end(), old), after.end()) << old;
      }
    if (havePillow()) {
      EXPECT_EQ(run("/usr/bin/python3 -c \"from PIL import Image; im = Image.open('" + file +
                    "'); print(im.format, im.size[0], im.size[1])\" 2>&1"),
                c.side == 64 ? "CUR 64 64\n" : "CUR 48 48\n");
    }
  }
}
