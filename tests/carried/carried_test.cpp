// The carried PNG module driven by the reference host in this process.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "base/errors.h"
#include "carried_fixture.h"
#include "document_io.h"
#include "module_host.h"
#include "platform/files.h"
#include "platform/scripted.h"
#include "platform/windowing.h"
#include "reference_png.h"
#include "sdk/selectors.h"

namespace icofmt::test {
namespace {

namespace fs = std::filesystem;
using carried::Document;

class CarriedTest : public CarriedFixture {
 protected:
  std::string write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    EXPECT_TRUE(platform::writeWholeFile(folder + name, bytes));
    return folder + name;
  }

  // Opens a file through the module and compares the document with libpng's
  // own decode of the same file.
  void expectDecodesLikeLibpng(const std::string& path, const std::string& what) {
    auto bytes = platform::readWholeFile(path);
    ASSERT_TRUE(bytes.has_value()) << what;
    int w = 0, h = 0;
    std::vector<std::uint8_t> want;
    ASSERT_TRUE(decodeRgba(*bytes, w, h, want)) << what;
    Document doc;
    ASSERT_EQ(host.open(path, doc), 0) << what;
    ASSERT_EQ(doc.width, w) << what;
    ASSERT_EQ(doc.height, h) << what;
    EXPECT_EQ(rgbaOf(doc), want) << what;
  }

  static std::vector<std::uint8_t> rgbaOf(const Document& doc) {
    PngImage png = carried::pngFromDocument(doc);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(doc.width) * doc.height * 4);
    for (int y = 0; y < doc.height; ++y)
      for (int x = 0; x < doc.width; ++x)
        png.PixelRgba(x, y, out.data() + (static_cast<std::size_t>(y) * doc.width + x) * 4);
    return out;
  }

  // Saves through the module and opens the result again.
  Document roundTrip(const Document& doc, const std::string& name, bool plain = true) {
    EXPECT_EQ(host.save(doc, folder + name, plain), 0) << name;
    Document back;
    EXPECT_EQ(host.open(folder + name, back), 0) << name;
    return back;
  }
};

void expectSameDocument(const Document& a, const Document& b, const std::string& what) {
  EXPECT_EQ(a.mode, b.mode) << what;
  EXPECT_EQ(a.width, b.width) << what;
  EXPECT_EQ(a.height, b.height) << what;
  EXPECT_EQ(a.planes, b.planes) << what;
  EXPECT_EQ(a.effectiveAlphaPlane(), b.effectiveAlphaPlane()) << what;
  EXPECT_EQ(a.pixels, b.pixels) << what;
  if (a.mode == carried::kModeIndexed) {
    EXPECT_EQ(a.transparentIndex, b.transparentIndex) << what;
    for (int i = 0; i < a.lutCount; ++i)
      EXPECT_TRUE(a.red[i] == b.red[i] && a.green[i] == b.green[i] && a.blue[i] == b.blue[i])
          << what << " entry " << i;
  }
}

TEST_F(CarriedTest, PngSuiteOpensAsLibpngDecodesItAndSavesBackExactly) {
  const fs::path dir = ICOFMT_PNGSUITE_DIR;
  if (std::string(ICOFMT_PNGSUITE_DIR).empty() || !fs::is_directory(dir))
    GTEST_SKIP() << "PngSuite not available";
  int files = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() != ".png") continue;
    const std::string name = entry.path().filename().string();
    expectDecodesLikeLibpng(entry.path().string(), name);
    Document doc;
    ASSERT_EQ(host.open(entry.path().string(), doc), 0) << name;
    expectSameDocument(roundTrip(doc, "suite.png"), doc, name);
    ++files;
  }
  EXPECT_GT(files, 40);
  // The modes the host gets for the kinds of PNG.
  Document doc;
  ASSERT_EQ(host.open((dir / "basn0g01.png").string(), doc), 0);
  EXPECT_EQ(doc.mode, carried::kModeBitmap);
  ASSERT_EQ(host.open((dir / "basn3p04.png").string(), doc), 0);
  EXPECT_EQ(doc.mode, carried::kModeIndexed);
  EXPECT_EQ(doc.lutCount, 15);
  ASSERT_EQ(host.open((dir / "basn4a16.png").string(), doc), 0);
  EXPECT_EQ(doc.mode, carried::kModeGray);
  EXPECT_EQ(doc.alphaPlane, 1);
  ASSERT_EQ(host.open((dir / "basn6a08.png").string(), doc), 0);
  EXPECT_EQ(doc.mode, carried::kModeRgb);
  EXPECT_EQ(doc.alphaPlane, 3);
}

struct Kind {
  int colourType, bitDepth;
};

// Every colour type and depth, with and without interlacing and tRNS, in
// sizes from 1 to 33: the module's decode matches libpng's, the mode fits,
// and saving the document back gives the same document.
TEST_F(CarriedTest, GeneratedImagesOpenAsLibpngDecodesThemAndSaveBackExactly) {
  const Kind kinds[] = {{0, 1}, {0, 2}, {0, 4}, {0, 8}, {0, 16}, {2, 8}, {2, 16}, {3, 1},
                        {3, 2}, {3, 4}, {3, 8}, {4, 8}, {4, 16}, {6, 8}, {6, 16}};
  std::mt19937 random(7);
  int made = 0;
  for (const Kind& k : kinds)
    for (int trns = 0; trns < 3; ++trns)
      for (int interlaced = 0; interlaced < 2; ++interlaced) {
        if (trns > 0 && (k.colourType == 4 || k.colourType == 6)) continue;
        if (trns == 2 && k.colourType != 3) continue;
        const int size = 1 + (made * 7) % 33;
        RawPng raw;
        raw.width = size;
        raw.height = 1 + (made * 5 + 3) % 33;
        raw.colourType = k.colourType;
        raw.bitDepth = k.bitDepth;
        raw.interlaced = interlaced == 1;
        const int channels = k.colourType == 2 ? 3 : k.colourType == 4 ? 2 : k.colourType == 6 ? 4 : 1;
        const int entries = k.colourType == 3 ? std::min(1 << k.bitDepth, 200) : 0;
        const std::uint32_t top = k.colourType == 3 ? entries - 1 : (1u << k.bitDepth) - 1;
        for (int i = 0; i < raw.width * raw.height * channels; ++i)
          raw.samples.push_back(static_cast<std::uint16_t>(random() % (top + 1)));
        for (int i = 0; i < entries * 3; ++i) raw.palette.push_back(static_cast<std::uint8_t>(random()));
        if (trns == 1 && k.colourType == 3) raw.trns = {255, 0};  // one transparent entry: Indexed
        if (trns == 2) raw.trns = {255, 128};                     // partial alpha: RGB with alpha
        if (trns == 1 && k.colourType != 3) {
          raw.keyColour = true;
          for (auto& v : raw.key) v = static_cast<std::uint16_t>(raw.samples[0]);
        }
        const std::string what = "type " + std::to_string(k.colourType) + " depth " +
                                 std::to_string(k.bitDepth) + " trns " + std::to_string(trns) +
                                 " interlaced " + std::to_string(interlaced) + " size " +
                                 std::to_string(raw.width) + "x" + std::to_string(raw.height);
        auto bytes = encodeRaw(raw);
        ASSERT_FALSE(bytes.empty()) << what;
        std::string path = write("generated.png", bytes);
        expectDecodesLikeLibpng(path, what);
        Document doc;
        ASSERT_EQ(host.open(path, doc), 0) << what;
        if (k.colourType == 0 && k.bitDepth == 1 && trns == 0) {
          EXPECT_EQ(doc.mode, carried::kModeBitmap) << what;
        }
        if (k.colourType == 3) {
          EXPECT_EQ(doc.mode, trns == 2 ? carried::kModeRgb : carried::kModeIndexed) << what;
        }
        if (k.colourType == 3 && trns == 1 && entries >= 2) {
          EXPECT_EQ(doc.transparentIndex, 1) << what;
        }
        expectSameDocument(roundTrip(doc, "back.png"), doc, what);
        ++made;
      }
  EXPECT_GT(made, 40);
}

// The host's own PNG reading and writing around the module: a PNG forced into
// each mode saves and opens back to the same document, and the opened
// document written as PNG reads back the same again.
TEST_F(CarriedTest, EveryModeRoundTripsThroughSaveAndOpen) {
  PngImage rgba;
  rgba.Create(19, 11, PngColourType::Rgba);
  for (int y = 0; y < 11; ++y)
    for (int x = 0; x < 19; ++x) {
      std::uint8_t* p = rgba.Row(y) + x * 4;
      p[0] = static_cast<std::uint8_t>(x * 13);
      p[1] = static_cast<std::uint8_t>(y * 23);
      p[2] = static_cast<std::uint8_t>((x ^ y) * 8);
      p[3] = (x + y) % 5 == 0 ? 0 : 255;
    }
  std::string source = write("source.png", rgba.Encode());
  for (int mode : {carried::kModeBitmap, carried::kModeGray, carried::kModeIndexed, carried::kModeRgb}) {
    const std::string what = "mode " + std::to_string(mode);
    Document doc = icohost::readPngDocument(source, mode);
    EXPECT_EQ(doc.mode, mode) << what;
    Document back = roundTrip(doc, "saved.png", false);
    expectSameDocument(back, doc, what);
    icohost::writePngDocument(back, folder + "written.png");
    expectSameDocument(icohost::readPngDocument(folder + "written.png", std::nullopt), doc, what);
  }
}

TEST_F(CarriedTest, MalformedPngGivesAResultCodeAndTheHostKeepsGoing) {
  PngImage png;
  png.Create(8, 8, PngColourType::Rgb);
  const std::vector<std::uint8_t> good = png.Encode();
  std::vector<std::vector<std::uint8_t>> bad = {{}, {'n', 'o', 't', ' ', 'p', 'n', 'g'}};
  for (std::size_t cut : {8u, 16u, 33u, 40u}) bad.emplace_back(good.begin(), good.begin() + cut);
  bad.emplace_back(good.begin(), good.end() - 20);  // inside the image data
  auto crc = good;
  crc[29] ^= 0xFF;  // inside the IHDR checksum
  bad.push_back(crc);
  auto huge = good;
  huge[16] = 0x7F;  // width beyond the side limit
  bad.push_back(huge);
  for (std::size_t i = 0; i < bad.size(); ++i) {
    Document doc;
    std::int16_t result = host.open(write("bad.png", bad[i]), doc);
    EXPECT_TRUE(result == sdk::formatCannotRead || result == sdk::readErr)
        << "case " << i << " gave " << result;
  }
  // libpng's own hostile files: some are readable images with absurd
  // ancillary chunks; none may crash or exhaust memory.
  const fs::path crashers = fs::path(ICOFMT_PNGSUITE_DIR).parent_path() / "testpngs" / "crashers";
  if (fs::is_directory(crashers))
    for (const auto& entry : fs::directory_iterator(crashers)) {
      Document doc;
      std::int16_t result = host.open(entry.path().string(), doc);
      EXPECT_TRUE(result == 0 || result == sdk::formatCannotRead || result == sdk::readErr)
          << entry.path().filename() << " gave " << result;
    }
  Document doc;
  EXPECT_EQ(host.open(write("good.png", good), doc), 0);
}

TEST_F(CarriedTest, OptionsFormCancelledFailsTheSaveAndItsInterlaceOptionIsWritten) {
  Document doc = carried::documentFromPng(
      [] {
        PngImage p;
        p.Create(9, 9, PngColourType::Grey);
        return p;
      }(),
      carried::kAllModes, true);
  platform::scripted::setConfirmUnscripted(false);
  EXPECT_EQ(host.save(doc, folder + "cancelled.png", false), sdk::userCanceledErr);
  EXPECT_FALSE(platform::fileExists(folder + "cancelled.png"));
  ASSERT_EQ(platform::scripted::shownForms().size(), 1u);
  EXPECT_EQ(platform::scripted::shownForms()[0].caption, "PNG Options");

  using Action = platform::scripted::UserAction;
  platform::scripted::setUserActions(
      {{Action::Kind::Check, "ChkInterlaced", -1}, {Action::Kind::Click, "B_Ok", -1}});
  ASSERT_EQ(host.save(doc, folder + "interlaced.png", false), 0);
  PngImage written;
  written.LoadFromMemory(*platform::readWholeFile(folder + "interlaced.png"));
  EXPECT_TRUE(written.Interlaced());
}

// Through the icofmt module, the carried module's options form is confirmed
// by the module's hook: no scripted answer, no fallback, a posted click.
TEST_F(CarriedTest, IcoModuleHookConfirmsThePngOptionsForm) {
  icohost::ModuleHost ico;
  ico.load(ICOFMT_MODULE);
  platform::scripted::setConfirmUnscripted(false);
  Document doc = icohost::readPngDocument(write("in.png",
                                                [] {
                                                  PngImage p;
                                                  p.Create(16, 16, PngColourType::Rgba);
                                                  return p.Encode();
                                                }()),
                                          std::nullopt);
  try {
    ico.save(doc, folder + "out.ico", false);
  } catch (const icohost::HostError&) {
  }
  const auto& forms = platform::scripted::shownForms();
  ASSERT_FALSE(forms.empty());
  EXPECT_EQ(forms[0].caption, "PNG Options");
  EXPECT_EQ(forms[0].result, platform::ModalResult::Ok);
  EXPECT_FALSE(forms[0].unscripted);
  EXPECT_GE(platform::scripted::deliveredPosts(platform::kBmClick), 1);
}

TEST_F(CarriedTest, OneLoadServesSeveralOperationsAndKeepsItsOptions) {
  PngImage p;
  p.Create(5, 3, PngColourType::Palette, 2);
  p.SetPalette({0x0000FF, 0x00FF00, 0xFF0000});
  p.Row(1)[2] = 2;
  std::string in = write("p.png", p.Encode());
  Document first, second;
  ASSERT_EQ(host.open(in, first), 0);
  using Action = platform::scripted::UserAction;
  platform::scripted::setUserActions({{Action::Kind::Check, "ChkInterlaced", -1}});
  ASSERT_EQ(host.save(first, folder + "a.png", false), 0);
  ASSERT_EQ(host.save(first, folder + "b.png", true), 0);
  ASSERT_EQ(host.open(folder + "b.png", second), 0);
  expectSameDocument(second, first, "second open");
  PngImage b;
  b.LoadFromMemory(*platform::readWholeFile(folder + "b.png"));
  EXPECT_TRUE(b.Interlaced());  // the option of the first save holds for the plain save
}

}  // namespace
}  // namespace icofmt::test
