#include "pixels/convert.h"

#include <gtest/gtest.h>

#include "pixels/alpha.h"
#include "pixels/palettes.h"
#include "test_util.h"

namespace icofmt {
namespace {

using test::alphaAt;
using test::put32;

// Four pixels: transparent red, half-transparent (79) green, just opaque (80)
// blue, opaque white; the second row is the same opaque.
TBitmap sample32() {
  TBitmap b = test::make32(4, 2);
  put32(b, 0, 0, 0x0000FF, 0);
  put32(b, 1, 0, 0x00FF00, 79);
  put32(b, 2, 0, 0xFF0000, 80);
  put32(b, 3, 0, 0xFFFFFF, 255);
  put32(b, 0, 1, 0x0000FF, 255);
  put32(b, 1, 1, 0x00FF00, 255);
  put32(b, 2, 1, 0xFF0000, 255);
  put32(b, 3, 1, 0xFFFFFF, 255);
  return b;
}

TEST(ConvertBitmap, FromThirtyTwoBitsToEveryDepth) {
  const TBitmap src = sample32();
  for (PixelFormat f : {PixelFormat::Bits1, PixelFormat::Bits4, PixelFormat::Bits8, PixelFormat::Bits24}) {
    SCOPED_TRACE(static_cast<int>(f));
    TBitmap dst, mask;
    ConvertBitmap(src, nullptr, dst, &mask, f, 80, false);
    ASSERT_EQ(dst.Format(), f);
    ASSERT_EQ(mask.Format(), PixelFormat::Bits1);
    ASSERT_EQ(mask.Width(), 4);
    ASSERT_EQ(mask.Height(), 2);
    const bool maskRow0[] = {true, true, false, false};
    for (int x = 0; x < 4; ++x) {
      EXPECT_EQ(mask.GetPixel(x, 0) == kWhite, maskRow0[x]) << x;
      EXPECT_EQ(mask.GetPixel(x, 1), kBlack);
    }
    EXPECT_EQ(dst.GetPixel(0, 0), kBlack);
    EXPECT_EQ(dst.GetPixel(1, 0), kBlack);
    EXPECT_EQ(dst.GetPixel(3, 0), kWhite);
    if (f != PixelFormat::Bits1) {
      EXPECT_EQ(dst.GetPixel(2, 0), 0xFF0000u);
      EXPECT_EQ(dst.GetPixel(0, 1), 0x0000FFu);
    } else {
      EXPECT_EQ(dst.GetPixel(0, 1), kBlack);
    }
  }
  TBitmap d4;
  ConvertBitmap(src, nullptr, d4, nullptr, PixelFormat::Bits4, 80, false);
  EXPECT_EQ(d4.Palette(), ColourList(StandardPalette16.begin(), StandardPalette16.end()));
  TBitmap d8;
  ConvertBitmap(src, nullptr, d8, nullptr, PixelFormat::Bits8, 80, false);
  EXPECT_EQ(d8.Palette()[0], kBlack);
  EXPECT_EQ(d8.Palette()[1], kWhite);
  EXPECT_EQ(d8.Palette()[2], 0x0000FFu);  // bottom-left pixel
}

TEST(ConvertBitmap, KeepWhiteTurnsTransparentWhiteWhite) {
  TBitmap src = test::make32(2, 1);
  put32(src, 0, 0, kWhite, 0);
  put32(src, 1, 0, kWhite, 1);
  TBitmap dst, mask;
  ConvertBitmap(src, nullptr, dst, &mask, PixelFormat::Bits24, 80, true);
  EXPECT_EQ(dst.GetPixel(0, 0), kWhite);
  EXPECT_EQ(dst.GetPixel(1, 0), kBlack);
  EXPECT_EQ(mask.GetPixel(1, 0), kWhite);
}

TEST(ConvertBitmap, FromPalettedAndTwentyFourBits) {
  TBitmap src24;
  SplitAlpha(sample32(), src24, nullptr, false, 0);
  TBitmap srcMask;
  SetupOpaqueMask(srcMask, 4, 2);
  srcMask.SetIndex(3, 1, 1);
  for (PixelFormat f : {PixelFormat::Bits1, PixelFormat::Bits4, PixelFormat::Bits8, PixelFormat::Bits24,
                        PixelFormat::Bits32}) {
    SCOPED_TRACE(static_cast<int>(f));
    TBitmap dst, mask;
    ConvertBitmap(src24, &srcMask, dst, &mask, f, 80, false);
    EXPECT_EQ(dst.Format(), f);
    EXPECT_EQ(mask.GetPixel(3, 1), kWhite);
    EXPECT_EQ(mask.GetPixel(2, 1), kBlack);
    EXPECT_EQ(dst.GetPixel(3, 0), kWhite);
    if (f == PixelFormat::Bits32) {
      EXPECT_EQ(alphaAt(dst, 3, 1), 0);
      EXPECT_EQ(dst.GetPixel(3, 1), kWhite);  // white under a white mask pixel stays white
      EXPECT_EQ(alphaAt(dst, 2, 1), 255);
    }
  }
  // A 4-bit source to 8 bits keeps its palette first, then the default table.
  TBitmap src4;
  ConvertBitmap(src24, nullptr, src4, nullptr, PixelFormat::Bits4, 80, false);
  TBitmap d8, m8;
  ConvertBitmap(src4, nullptr, d8, &m8, PixelFormat::Bits8, 80, false);
  EXPECT_EQ(d8.Palette()[9], 0x0000FFu);
  EXPECT_TRUE(SameImage(d8, src4));
  EXPECT_EQ(m8.GetPixel(0, 0), kBlack);
  // 8 bits to 1, 4, 24 and 32 draw the colours.
  for (PixelFormat f : {PixelFormat::Bits4, PixelFormat::Bits24, PixelFormat::Bits32}) {
    TBitmap d;
    ConvertBitmap(d8, nullptr, d, nullptr, f, 80, false);
    EXPECT_TRUE(SameImage(d, src4)) << static_cast<int>(f);
  }
  TBitmap d1;
  ConvertBitmap(d8, nullptr, d1, nullptr, PixelFormat::Bits1, 80, false);
  EXPECT_EQ(d1.GetPixel(3, 0), kWhite);
  EXPECT_EQ(d1.GetPixel(0, 1), kBlack);
  // A 16-bit source reaches 8 bits through 24.
  TBitmap d16, back;
  ConvertBitmap(src24, nullptr, d16, nullptr, PixelFormat::Bits16, 80, false);
  ConvertBitmap(d16, nullptr, back, nullptr, PixelFormat::Bits8, 80, false);
  EXPECT_TRUE(SameImage(back, src24));
}

TEST(ConvertBitmap, SameFormatCopiesImageAndMaskInPlace) {
  TBitmap img = sample32();
  TBitmap mask;
  SetupOpaqueMask(mask, 4, 2);
  mask.SetIndex(0, 0, 1);
  ConvertBitmap(img, &mask, img, &mask, PixelFormat::Bits32, 80, false);
  EXPECT_EQ(img.Format(), PixelFormat::Bits32);
  EXPECT_EQ(alphaAt(img, 1, 0), 79);
  EXPECT_EQ(mask.GetPixel(0, 0), kWhite);
  ConvertBitmap(img, &mask, img, &mask, PixelFormat::Bits24, 80, false);
  EXPECT_EQ(img.Format(), PixelFormat::Bits24);
  EXPECT_EQ(mask.GetPixel(1, 0), kWhite);
}

TEST(Alpha, ThresholdsAndMerging) {
  TBitmap src = sample32();
  TBitmap mask = NewMaskBitmap();
  MaskFromAlpha(src, mask, 80);
  EXPECT_EQ(mask.GetPixel(1, 0), kWhite);
  EXPECT_EQ(mask.GetPixel(2, 0), kBlack);
  MaskFromZeroAlpha(src, mask, 0, false);
  EXPECT_EQ(mask.GetPixel(0, 0), kWhite);
  EXPECT_EQ(mask.GetPixel(1, 0), kBlack);
  MaskFromAlpha(src, mask, 96);
  EXPECT_EQ(mask.GetPixel(2, 0), kWhite);

  TBitmap c24;
  SplitAlpha(src, c24, nullptr, false, 0);
  TBitmap m;
  SetupOpaqueMask(m, 4, 2);
  m.SetIndex(0, 1, 1);
  m.SetIndex(3, 1, 1);
  TBitmap merged;
  MergeMask(c24, &m, merged);
  EXPECT_EQ(merged.ScanLine(1)[0 * 4 + 3], 0);
  EXPECT_EQ(merged.GetPixel(0, 1), kBlack);
  EXPECT_EQ(merged.GetPixel(3, 1), kWhite);
  EXPECT_EQ(merged.ScanLine(0)[3], 255);
  TBitmap noMask;
  MergeMask(c24, nullptr, noMask);
  EXPECT_EQ(alphaAt(noMask, 0, 0), 255);
}

TEST(Bitmap, FormatFunctionsAndFills) {
  EXPECT_EQ(BitsPerPixel(PixelFormat::Bits15), 16);
  EXPECT_EQ(BitsPerPixel(PixelFormat::Custom), 0);
  EXPECT_EQ(PixelFormatForBits(15), PixelFormat::Bits15);
  EXPECT_EQ(PixelFormatForBits(2), PixelFormat::Device);
  EXPECT_EQ(AlignedRowBytes(3, 24), 12);
  EXPECT_EQ(AlignedRowBytes(33, 1), 8);
  EXPECT_EQ(DibHeaderSize(8, 0, 0), 40 + 1024);
  EXPECT_EQ(DibHeaderSize(4, 3, 0), 52);
  EXPECT_EQ(DibHeaderSize(32, 0, 3), 52);
  EXPECT_EQ(DibHeaderSize(24, 0, 0), 40);
  uint32_t e[2] = {0xAA112233, 0x00445566};
  SwapRedBlue(e, 2);
  EXPECT_EQ(e[0], 0x00332211u);
  EXPECT_EQ(e[1], 0x00665544u);

  TBitmap m = NewMaskBitmap();
  EXPECT_EQ(m.Width(), 1);
  EXPECT_EQ(m.GetPixel(0, 0), kWhite);
  TBitmap b;
  SetupFilledBitmap(b, 5, 3, PixelFormat::Bits4, 0x0000FF);
  EXPECT_EQ(b.GetPixel(4, 2), 0x0000FFu);
  ResizeAndFill(b, 2, 2, 0xFFFF00);
  EXPECT_EQ(b.GetPixel(1, 1), 0xFFFF00u);
  TBitmap w = CreateWorkBitmap(PixelFormat::Bits32, 2, 2, 0x80FF0000);
  EXPECT_EQ(alphaAt(w, 1, 1), 0x80);
  EXPECT_EQ(w.GetPixel(1, 1), 0x0000FFu);
  TBitmap c = CreateWorkBitmap(PixelFormat::Bits15, 2, 2, 0x00F800);
  EXPECT_EQ(c.GetPixel(0, 0), 0x00FF00u);
  EXPECT_FALSE(SameImage(b, w));
  TBitmap g = CreateWorkBitmap(PixelFormat::Bits24, 2, 2, 0x0000FF);
  EXPECT_TRUE(SameImage(w, g));
  g.SetPixel(1, 0, 0x0000FE);
  EXPECT_FALSE(SameImage(w, g));
}

}  // namespace
}  // namespace icofmt
