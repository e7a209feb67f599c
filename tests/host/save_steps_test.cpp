// The save steps at the host's edge: what they read from the parameter block
// and the host's procedures, called one by one without the carried module.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>

#include "host/module_state.h"
#include "host/steps.h"
#include "pixels/png_image.h"
#include "platform/files.h"
#include "sdk/format_record.h"
#include "sdk/selectors.h"
#include "support/temp_folder.h"

namespace icofmt::host {
namespace {

// The host's title: a handle of exactly its characters, no NUL after them.
std::unique_ptr<char[]> gTitle;
char* gTitlePointer = nullptr;
std::int32_t gTitleSize = 0;
sdk::OSErr gPropertyResult = sdk::noErr;
int gDisposed = 0;

extern "C" {
sdk::OSErr getProperty(sdk::PIType signature, sdk::PIType key, std::int32_t, std::intptr_t*,
                       sdk::Handle* complex) {
  if (gPropertyResult != sdk::noErr) return gPropertyResult;
  if (signature != sdk::kPhotoshopSignature || key != sdk::propTitle) return sdk::errPlugInPropertyUndefined;
  *complex = &gTitlePointer;
  return sdk::noErr;
}
std::int32_t handleSize(sdk::Handle) { return gTitleSize; }
sdk::Ptr lockHandle(sdk::Handle h, sdk::Boolean) { return *h; }
void unlockHandle(sdk::Handle) {}
void disposeHandle(sdk::Handle) { ++gDisposed; }
}

class SaveStepsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    save.destinationCopy.emplace();
    save.captureBuffer.emplace();
    std::memset(&block, 0, sizeof block);
    block.handleProcs = &handleProcs;
    block.propertyProcs = &propertyProcs;
    gPropertyResult = sdk::noErr;
    gDisposed = 0;
  }
  void setTitle(const std::string& title) {
    gTitle = std::make_unique<char[]>(title.size());
    std::memcpy(gTitle.get(), title.data(), title.size());
    gTitlePointer = gTitle.get();
    gTitleSize = static_cast<std::int32_t>(title.size());
  }

  test::TempFolder temp;
  std::string folder = temp.path();
  // The parts of the state the steps work on: no module state needed.
  SaveOperation save;
  FileSwap files;
  sdk::FormatRecord block{};
  sdk::HandleProcs handleProcs{1,       8,          nullptr,      disposeHandle, handleSize,
                               nullptr, lockHandle, unlockHandle, nullptr,       nullptr};
  sdk::PropertyProcs propertyProcs{1, 2, getProperty, nullptr};
};

TEST_F(SaveStepsTest, TitleFindsTheDestinationAndIsDisposed) {
  const std::vector<std::uint8_t> icon{0, 0, 1, 0, 0, 0};
  ASSERT_TRUE(platform::writeWholeFile(folder + "doc.ico", icon));
  setTitle(folder + "doc.png");
  EXPECT_TRUE(findDestination(save, files, folder, &block));
  EXPECT_EQ(files.hostFileName, folder + "doc.ico");
  EXPECT_EQ(*save.destinationCopy, icon);
  EXPECT_EQ(gDisposed, 1);

  gPropertyResult = sdk::errPlugInPropertyUndefined;
  EXPECT_FALSE(findDestination(save, files, folder, &block));
  EXPECT_EQ(files.hostFileName, "");

  // No property suite: no title, no failure, a new icon.
  save.destinationCopy->clear();
  block.propertyProcs = nullptr;
  EXPECT_TRUE(findDestination(save, files, folder, &block));
  EXPECT_EQ(files.hostFileName, "");
  EXPECT_TRUE(save.destinationCopy->empty());
}

TEST_F(SaveStepsTest, ImagesBeyondTheDeclaredSizeAreRefused) {
  struct Case {
    std::int16_t rows, columns, planes;
    std::int16_t errorFlag;
  };
  const Case cases[] = {{256, 256, 4, 0}, {257, 16, 4, 1}, {16, 32767, 1, 1},
                        {16, 16, 17, 1},  {0, 0, 0, 0},    {-1, 16, 3, 1}};
  for (const Case& c : cases) {
    block.imageMode = 0x0103;
    block.imageSize = {c.rows, c.columns};
    block.planes = c.planes;
    EXPECT_EQ(captureWriteFields(save, &block), c.errorFlag == 0)
        << c.rows << "x" << c.columns << "x" << c.planes;
    EXPECT_EQ(save.hostImageMode, 3);
  }
}

TEST_F(SaveStepsTest, CaptureOnlyListens) {
  block.imageMode = 2;
  block.imageSize = {2, 3};
  block.planes = 1;
  for (int i = 0; i < 256; ++i) block.redLUT[i] = static_cast<std::uint8_t>(i);
  captureWriteFields(save, &block);
  captureLookupTables(save, &block);
  std::uint8_t pixels[6] = {1, 2, 3, 4, 5, 6};
  block.data = pixels;
  block.theRect = {0, 0, 2, 3};
  sdk::FormatRecord before;
  std::memcpy(&before, &block, sizeof block);
  capturePixels(save, &block);
  EXPECT_EQ(std::memcmp(&before, &block, sizeof block), 0);
  EXPECT_EQ(*save.captureBuffer, std::vector<std::uint8_t>(pixels, pixels + 6));
  EXPECT_EQ(save.savedTables.red[77], 77);

  // A Gray image's tables left empty by the host are the grey ramp; any
  // other tables are the host's.
  for (std::uint8_t first : {0, 9}) {
    std::memset(block.redLUT, 0, 256);
    block.redLUT[0] = first;
    block.imageMode = 1;
    captureWriteFields(save, &block);
    captureLookupTables(save, &block);
    const auto& tables = save.savedTables;
    EXPECT_EQ(tables.red[200], first == 0 ? 200 : 0);
    EXPECT_EQ(tables.blue[255], first == 0 ? 255 : 0);
  }
}

TEST_F(SaveStepsTest, SourceNeedsThePngReadBack) {
  SaveOperation& s = save;
  s.hostImageMode = 2;
  s.imageWidth = 2;
  s.imageHeight = 1;
  s.hostPlanes = 1;
  *s.captureBuffer = {0, 1};
  s.savedTables.red[1] = s.savedTables.green[1] = s.savedTables.blue[1] = 255;
  PngImage png;
  png.Create(2, 1, PngColourType::Grey);
  ASSERT_TRUE(platform::writeWholeFile(folder + "tmp.png", png.Encode()));
  platform::FileHandle pngFile =
      platform::openFile(folder + "tmp.png", platform::FileAccess::Read, platform::FileShare::None);
  TBitmapFix32 source;
  TBitmap mask;
  EXPECT_EQ(buildSourceFromCapture(s, pngFile, source, mask), 0);
  EXPECT_EQ(s.proposedDepth, 1);
  EXPECT_EQ(s.distinctIndices.Count(), 2);
  platform::closeFile(pngFile);
  // A PNG that cannot be read back ends the save like a short capture.
  EXPECT_EQ(buildSourceFromCapture(s, platform::kInvalidFile, source, mask), -1);
}

}  // namespace
}  // namespace icofmt::host
