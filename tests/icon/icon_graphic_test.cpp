#include "icon/icon_graphic.h"

#include <gtest/gtest.h>

#include "base/stream.h"
#include "icon/sub_icon.h"
#include "icon_builders.h"
#include "pictures.h"
#include "pixels/bitmap.h"

using namespace icofmt;
using namespace icotest;

namespace {

TBitmap canvasOf(int w, int h, Colour c) {
  TBitmap b;
  SetupFilledBitmap(b, w, h, PixelFormat::Bits24, c);
  return b;
}

}  // namespace

TEST(IconGraphic, DrawingAppliesTheMaskThenTheImage) {
  // Pixel 0: black under the mask (transparent); 1: white under the mask
  // (inverts); 2: white; 3: black.
  const TFileIconImage image = imageOf(pixelBlock(
      4, 1, 1, {0x000000, 0xFFFFFF}, [](uint32_t x, uint32_t) { return x == 1 || x == 2 ? 1u : 0u; },
      [](uint32_t x, uint32_t) { return x < 2; }));
  const Colour under = makeColour(10, 200, 30);
  TBitmap canvas = canvasOf(6, 2, under);
  TBitmapCanvas surface(canvas);
  image.Draw(surface, 1, 1);
  EXPECT_EQ(canvas.GetPixel(0, 1), under);                     // outside
  EXPECT_EQ(canvas.GetPixel(1, 1), under);                     // transparent
  EXPECT_EQ(canvas.GetPixel(2, 1), makeColour(245, 55, 225));  // inverted
  EXPECT_EQ(canvas.GetPixel(3, 1), kWhite);
  EXPECT_EQ(canvas.GetPixel(4, 1), kBlack);
  EXPECT_EQ(canvas.GetPixel(1, 0), under);  // rows above untouched

  TSubIcon empty;
  EXPECT_EQ(empty.GetHandle(), nullptr);
  empty.Draw(surface, 0, 0);  // draws nothing, fails nothing
}

TEST(IconGraphic, ThirtyTwoBitImagesBlendByAlpha) {
  const TFileIconImage image = imageOf(pixelBlock(
      2, 1, 32, {}, [](uint32_t x, uint32_t) { return x == 0 ? 0x80FF0000u : 0xFF0000FFu; },
      [](uint32_t, uint32_t) { return false; }));
  TBitmap canvas = canvasOf(2, 1, makeColour(0, 0, 255));
  TBitmapCanvas surface(canvas);
  image.Draw(surface, 0, 0);
  EXPECT_EQ(canvas.GetPixel(0, 0), makeColour((255 * 128 + 127) / 255, 0, (255 * 127 + 127) / 255));
  EXPECT_EQ(canvas.GetPixel(1, 0), makeColour(0, 0, 255));
}

TEST(IconGraphic, GraphicSizeFollowsItsHandleAndHandlesFollowTheBlock) {
  THiResIcon none;
  EXPECT_EQ(none.Width(), THiResIcon::kStandardIconSize);
  TFileIconImage image = imageOf(bitmapBlock({.width = 48, .height = 48, .bitCount = 8}));
  auto graphic = image.CreateIconGraphic();
  EXPECT_EQ(graphic->Width(), 48);
  EXPECT_EQ(graphic->Height(), 48);

  const TIconHandle* first = image.GetHandle();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(image.GetHandle(), first);  // kept
  std::unique_ptr<TSubIcon> copy(image.CreateCopy());
  EXPECT_NE(copy->GetHandle(), nullptr);
  EXPECT_NE(copy->GetHandle(), first);  // its own
  image.SetFrom32BitBitmap([] {
    TBitmap b;
    SetupBitmap32(b, 20, 10, 0xFF123456);
    return b;
  }());
  ASSERT_NE(image.GetHandle(), nullptr);
  EXPECT_EQ(image.GetHandle()->Width(), 20);  // made anew from the new block
  image.ReleaseHandle();
}

TEST(IconGraphic, AssignToBitmapDrawsOverBlackAtTheImagesDepth) {
  const TFileIconImage image = imageOf(pixelBlock(
      3, 2, 4, {0x000000, 0xFF0000, 0x00FF00, 0x0000FF}, [](uint32_t x, uint32_t) { return x; },
      [](uint32_t x, uint32_t y) { return x == 2 && y == 1; }));
  TBitmap bmp;
  image.AssignTo(bmp);
  EXPECT_EQ(bmp.Format(), PixelFormat::Bits4);
  EXPECT_EQ(bmp.Width(), 3);
  EXPECT_EQ(bmp.Height(), 2);
  EXPECT_EQ(bmp.GetPixel(1, 0), makeColour(255, 0, 0));
  EXPECT_EQ(bmp.GetPixel(2, 0), makeColour(0, 255, 0));
  EXPECT_EQ(bmp.GetPixel(2, 1), kBlack);  // transparent over black
}
