// Opening an icon: the image list, the selection form as the scripted user
// sees it, the preview's pixels and placement, and the export's failures.
#include <gtest/gtest.h>

#include <filesystem>

#include "../icon/icon_builders.h"
#include "../icon/pictures.h"
#include "icon/advanced_icon.h"
#include "open/form_select.h"
#include "open/prepare_open.h"
#include "open/sub_image_export.h"
#include "pixels/png_image.h"
#include "platform/files.h"
#include "platform/scripted.h"
#include "support/temp_folder.h"

namespace icofmt::open {
namespace {

using icotest::Bytes;
using icotest::EntrySpec;
using Action = platform::scripted::UserAction;
namespace controls = select_controls;

EntrySpec entry(const icotest::Picture& p) {
  return {p.block(), static_cast<uint8_t>(p.w), static_cast<uint8_t>(p.h), 0, 0, 1, p.bpp};
}

// 16 x 16 at 4 bits with holes, 32 x 32 at 32 bits, 256 x 256 PNG.
Bytes threeImages() {
  return icotest::iconFile({entry({16, 16, 4, true}),
                            entry({32, 32, 32, true}),
                            {icotest::pngBlock(256, 256), 0, 0, 0, 0, 1, 32}});
}

std::vector<std::uint8_t> pngOf(const std::string& icon, int index) {
  PngImage png;
  EXPECT_TRUE(subImageToPng(icon, index, png));
  return png.EncodeTemporary();
}

class OpenTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::scripted::reset(); }
  void TearDown() override { platform::scripted::reset(); }
  std::string folder() const { return dir.path(); }
  test::TempFolder dir;
};

TEST_F(OpenTest, TheFormListsEveryImageAndOpensTheOneChosen) {
  const std::string icon = dir.write("three.ico", threeImages());
  std::vector<platform::Form> seen;
  platform::scripted::setInspector([&](platform::Form& f) { seen.push_back(f); });
  platform::scripted::setUserActions(
      {{Action::Kind::Select, controls::kImageList, 2}, {Action::Kind::Click, controls::kOk, -1}});

  PreparedOpen r = prepareOpen(icon, folder());
  ASSERT_EQ(r.outcome, PreparedOpen::Outcome::Exported);
  EXPECT_EQ(r.chosenIndex, 2);
  EXPECT_EQ(r.tempPngPath, folder() + "three.png");
  EXPECT_EQ(platform::readWholeFile(r.tempPngPath), pngOf(icon, 2));

  // As the user first saw it.
  ASSERT_EQ(seen.size(), 2u);
  platform::Form& f = seen[0];
  EXPECT_EQ(f.caption, "Select dialog of ICO (Windows Icon)");
  EXPECT_EQ(f.find("Label1")->caption, icon);
  EXPECT_EQ(f.find(controls::kImageCount)->caption, "3 subicons");
  const platform::Control& combo = *f.find(controls::kImageList);
  EXPECT_EQ(combo.items, (std::vector<std::string>{"1. 16x16, 16 colors", "2. 32x32, 32 bpp",
                                                   "3. 256x256, 32 bpp, packed"}));
  EXPECT_EQ(combo.itemIndex, 0);
  EXPECT_EQ(f.find(controls::kPreview)->picture.width, 16);
  EXPECT_EQ(f.frames, (std::vector<platform::Rect>{{6, 37, 136, 167}}));
  // The cancel button exists for Escape alone; Enter presses nothing.
  const platform::Control& cancel = *f.find(controls::kCancel);
  EXPECT_TRUE(cancel.isCancel);
  EXPECT_GE(cancel.left, f.width);
  for (const auto& c : f.controls) EXPECT_FALSE(c.isDefault) << c.name;
  const char* tabs[] = {controls::kImageList, controls::kOk, controls::kStretch, controls::kCancel};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(f.find(tabs[i])->tabOrder, i) << tabs[i];
  // After the selection the third image is previewed.
  EXPECT_EQ(seen[1].find(controls::kPreview)->picture.width, 256);
}

TEST_F(OpenTest, OkWithoutChangeOpensTheFirstAndEscapeOpensNothing) {
  const std::string icon = dir.write("three.ico", threeImages());
  platform::scripted::setConfirmUnscripted(true);
  PreparedOpen first = prepareOpen(icon, folder(), 5);
  ASSERT_TRUE(first.ok());
  EXPECT_EQ(first.chosenIndex, 0);
  EXPECT_EQ(platform::readWholeFile(first.tempPngPath), pngOf(icon, 0));

  // The file left by the first open is no excuse for the second.
  platform::scripted::setUserActions(
      {{Action::Kind::Select, controls::kImageList, 1}, {Action::Kind::Escape, "", -1}});
  PreparedOpen cancelled = prepareOpen(icon, folder());
  EXPECT_EQ(cancelled.outcome, PreparedOpen::Outcome::Cancelled);
  EXPECT_FALSE(platform::fileExists(cancelled.tempPngPath));
  ASSERT_EQ(platform::scripted::shownForms().size(), 2u);
  EXPECT_EQ(platform::scripted::shownForms()[1].result, platform::ModalResult::Cancel);
}

TEST_F(OpenTest, OneImageOpensWithoutAFormAndFailuresLeaveNoFile) {
  const std::string one = dir.write("one.ico", icotest::iconFile({entry({24, 12, 8, true})}));
  PreparedOpen r = prepareOpen(one, folder());
  ASSERT_TRUE(r.ok());
  EXPECT_TRUE(platform::scripted::shownForms().empty());
  EXPECT_EQ(platform::readWholeFile(r.tempPngPath), pngOf(one, 0));

  // A block that is neither a bitmap nor a PNG, and a PNG that fails its checksum.
  Bytes brokenPng = icotest::pngBlock(32, 32);
  brokenPng[20] ^= 0xFF;
  const Bytes unreadable =
      icotest::iconFile({{Bytes(64, 0xAB), 16, 16, 0, 0, 1, 32}, {brokenPng, 32, 32, 0, 0, 1, 32}});
  struct Case {
    const char* name;
    Bytes bytes;
  };
  const Case cases[] = {{"text.ico", Bytes{'n', 'o', 't', ' ', 'i', 'c', 'o', 'n'}},
                        {"empty.ico", Bytes{}},
                        {"unreadable.ico", unreadable}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.write(c.name, c.bytes);
    EXPECT_TRUE(listSubImages(path).empty());
    // A stale PNG of the same name must not survive to be opened instead.
    const std::string stale = tempPngPathFor(folder(), path);
    ASSERT_TRUE(platform::writeWholeFile(stale, pngOf(one, 0)));
    EXPECT_EQ(prepareOpen(path, folder()).outcome, PreparedOpen::Outcome::Failed);
    EXPECT_FALSE(platform::fileExists(stale));
  }
  EXPECT_EQ(prepareOpen(folder() + "missing.ico", folder()).outcome, PreparedOpen::Outcome::Failed);
  // An icon that bears the temporary name itself is never deleted or overwritten.
  const Bytes iconBytes = *platform::readWholeFile(one);
  const std::string named = dir.write("icon.png", iconBytes);
  EXPECT_EQ(prepareOpen(named, folder()).outcome, PreparedOpen::Outcome::Failed);
  EXPECT_EQ(platform::readWholeFile(named), iconBytes);
  EXPECT_EQ(prepareOpen(one, "").outcome, PreparedOpen::Outcome::Failed);
  EXPECT_TRUE(platform::scripted::shownForms().empty());
}

TEST_F(OpenTest, ExportWritesNothingForAMissingImage) {
  const std::string icon = dir.write("three.ico", threeImages());
  const std::string target = dir.file("out.png");
  for (int index : {-1, 3, 70000}) {
    EXPECT_FALSE(exportSubImage(icon, index, target)) << index;
    EXPECT_FALSE(platform::fileExists(target)) << index;
  }
  EXPECT_FALSE(exportSubImage(dir.file("missing.ico"), 0, target));
  // A block of zeros reads as an image of no pixels, which no PNG can hold:
  // the error stays a failed export.
  const std::string empty = dir.write("zeros.ico", icotest::iconFile({{Bytes(80, 0), 16, 16, 0, 0, 1, 32}}));
  ASSERT_EQ(listSubImages(empty).size(), 1u);
  EXPECT_FALSE(exportSubImage(empty, 0, target));
  EXPECT_FALSE(platform::fileExists(target));
  // An unwritable target.
  EXPECT_FALSE(exportSubImage(icon, 0, dir.file("no/such/folder.png")));
}

// The previews read the file again without decoding the PNG entries they do
// not need, and a plain RGBA entry's samples stand for its export; the image
// each index names and its PNG are those of the decoding reader's list, also
// past a damaged PNG entry, for an entry the directory makes 8-bit, and for
// one whose alpha is 0 everywhere.
TEST_F(OpenTest, PreviewsFindTheReadersImagesWithoutDecodingTheRest) {
  Bytes damaged = icotest::pngBlock(40, 40);
  damaged[damaged.size() - 20] ^= 0x5A;
  const Bytes clear = icotest::rgbaPng(8, 8, [](uint32_t x, uint32_t y) { return (x * 16 + y) << 8; });
  const std::string icon =
      dir.write("lazy.ico", icotest::iconFile({entry({16, 16, 4, true}),
                                               {damaged, 0, 0, 0, 0, 1, 32},
                                               {icotest::pngBlock(64, 64), 0, 0, 0, 0, 1, 32},
                                               {icotest::pngBlock(24, 24), 0, 0, 0, 0, 1, 8},
                                               {clear, 0, 0, 0, 0, 1, 32},
                                               entry({32, 32, 32, true})}));
  TAdvancedIcon loaded;
  ASSERT_TRUE(loadIcon(icon, loaded));
  ASSERT_EQ(loaded.Images().Count(), 5);
  for (int i = 0; i <= 5; ++i) {
    PngImage lazy, eager;
    const bool found = subImageToPng(icon, i, lazy);
    ASSERT_EQ(found, subImageToPng(loaded, i, eager)) << "image " << i;
    if (!found) continue;
    EXPECT_EQ(lazy.EncodeTemporary(), eager.EncodeTemporary()) << "image " << i;
  }
}

TEST_F(OpenTest, TempPngIsNamedAfterTheIconInsideTheTemporaryFolder) {
  const std::pair<std::string, const char*> cases[] = {{"C:\\icons\\app.ico", "/t/app.png"},
                                                       {"/home/me/noext", "/t/noext.png"},
                                                       {"D:app.x.ico", "/t/app.x.png"},
                                                       {"/a.b/plain", "/t/plain.png"},
                                                       {"../../etc/x.ico", "/t/x.png"},
                                                       {"", "/t/.png"},
                                                       {std::string("a.ico\0/b.x", 10), "/t/a.png"}};
  for (const auto& [host, expected] : cases) EXPECT_EQ(tempPngPathFor("/t/", host), expected) << host;
  EXPECT_EQ(tempPngPathFor("", "a.ico"), "");
}

// The preview's pixel at (x, y) as 0x00BBGGRR.
Colour pictureAt(const platform::Picture& p, int x, int y) {
  return colourFromBgr(p.bgr.data() + 3 * (static_cast<std::size_t>(y) * p.width + x));
}

TEST_F(OpenTest, PreviewShowsTheFaceColourWhereTheImageIsTransparent) {
  const icotest::Picture oneBit{16, 16, 1, true};
  const std::string icon = dir.write(
      "mixed.ico", icotest::iconFile({entry(oneBit), {icotest::pngBlock(20, 10), 0, 0, 0, 0, 1, 32}}));
  const Colour face = platform::faceColour();
  platform::Picture picture;

  renderPreview(icon, 0, picture, face);
  ASSERT_EQ(picture.width, 16);
  ASSERT_EQ(picture.bgr.size(), 16u * 16u * 3u);
  for (uint32_t y = 0; y < 16; ++y)
    for (uint32_t x = 0; x < 16; ++x) {
      const uint32_t rgb = oneBit.rgb(x, y);
      const Colour expected =
          oneBit.transparent(x, y) ? face : makeColour(rgb >> 16 & 0xFF, rgb >> 8 & 0xFF, rgb & 0xFF);
      ASSERT_EQ(pictureAt(picture, x, y), expected) << x << "," << y;
    }

  renderPreview(icon, 1, picture, face);
  ASSERT_EQ(picture.width, 20);
  ASSERT_EQ(picture.height, 10);
  EXPECT_EQ(pictureAt(picture, 0, 0), face);  // the PNG's transparent corner
  EXPECT_EQ(pictureAt(picture, 3, 3), face);
  EXPECT_NE(pictureAt(picture, 10, 5), face);

  // No image there: the picture is cleared.
  renderPreview(icon, 2, picture, face);
  EXPECT_TRUE(picture.empty());
  EXPECT_TRUE(picture.bgr.empty());
}

TEST_F(OpenTest, PreviewIsCentredAtItsSizeOnlyWithStretchOffAndWhenItFits) {
  const std::string icon =
      dir.write("sizes.ico", icotest::iconFile({entry({16, 16, 32, false}),
                                                entry({48, 20, 24, false}),
                                                {icotest::pngBlock(256, 256), 0, 0, 0, 0, 1, 32}}));
  TFormSelect form(icon, listSubImages(icon));
  platform::Control& image = *form.form().find(controls::kPreview);
  platform::Control& stretch = *form.form().find(controls::kStretch);
  platform::Control& combo = *form.form().find(controls::kImageList);
  struct Case {
    int item;
    bool stretch;
    platform::Rect at;  // left, top, right, bottom
  };
  const Case cases[] = {{0, true, {7, 38, 135, 166}},  {0, false, {63, 94, 79, 110}},
                        {1, false, {47, 92, 95, 112}}, {1, true, {7, 38, 135, 166}},
                        {2, false, {7, 38, 135, 166}}, {2, true, {7, 38, 135, 166}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "item " << c.item << " stretch " << c.stretch);
    combo.itemIndex = c.item;
    form.ComboBox1Change();
    stretch.checked = c.stretch;
    form.CheckBox1Click();
    EXPECT_EQ(image.stretch, c.stretch);
    EXPECT_EQ((platform::Rect{image.left, image.top, image.left + image.width, image.top + image.height}),
              c.at);
  }
}

}  // namespace
}  // namespace icofmt::open
