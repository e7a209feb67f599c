#include "pixels/palettes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "pixels/convert.h"
#include "pixels/reduce.h"
#include "test_util.h"

namespace icofmt {
namespace {

// The colours as R G B, as a user picks them: a pixel of the n-th standard
// colour becomes index n of a 4-bit image, and the 256-colour palette starts
// with the system colours (silver before gray) and holds no colour twice, so
// every index is reachable.
TEST(Palettes, FixedPalettesIndexTheirColoursInTheirOrder) {
  const uint32_t rgb[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0x808080,
                            0xC0C0C0, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
  auto colour = [](uint32_t v) { return makeColour(v >> 16, (v >> 8) & 0xFF, v & 0xFF); };
  TBitmap src = test::make32(16, 1);
  for (int i = 0; i < 16; ++i) test::put32(src, i, 0, colour(rgb[i]), 255);
  TBitmap d4, d1;
  ConvertBitmap(src, nullptr, d4, nullptr, PixelFormat::Bits4, 80, false);
  ConvertBitmap(src, nullptr, d1, nullptr, PixelFormat::Bits1, 80, false);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(d4.GetIndex(i, 0), i) << i;
  EXPECT_EQ(d1.GetIndex(0, 0), 0);
  EXPECT_EQ(d1.GetIndex(15, 0), 1);
  for (size_t i = 0; i < 16; ++i)
    EXPECT_EQ(DefaultPalette256[i], colour(rgb[i == 7 ? 8 : i == 8 ? 7 : i])) << i;
  EXPECT_EQ(DefaultPalette256[16], colour(0x090909));
  EXPECT_EQ(DefaultPalette256[36], colour(0xFFFBF0));
  EXPECT_EQ(DefaultPalette256[39], colour(0xA6CAF0));
  EXPECT_EQ(DefaultPalette256[131], colour(0x24FF6D));
  EXPECT_EQ(DefaultPalette256[255], colour(0xFFB4CD));
  EXPECT_EQ(std::set<Colour>(DefaultPalette256.begin(), DefaultPalette256.end()).size(), 256u);
}

TEST(Palettes, StandardColoursAreExactlyTheSixteen) {
  for (Colour c : StandardPalette16) EXPECT_TRUE(IsStandardColour(c));
  EXPECT_FALSE(IsStandardColour(0x7F7F7F));
  EXPECT_FALSE(IsStandardColour(0x818080));
}

TEST(Palettes, NearestAndEnsureBlackAndWhite) {
  EXPECT_EQ(NearestColourIndex({}, 0), -1);
  ColourList tie = {0x100000, 0x000010, 0x001000, 0x0000FF};
  EXPECT_EQ(NearestColourIndex(tie, 0), 0);  // three at the same distance: lowest index
  ColourList list = {0x101010, 0xEEEEEE, 0x808080};
  EXPECT_TRUE(EnsureBlackAndWhite(list));
  EXPECT_EQ(list, (ColourList{kBlack, kWhite, 0x808080}));
  EXPECT_FALSE(EnsureBlackAndWhite(list));
  // With one entry, white takes it and black then replaces white.
  ColourList one = {0x404040};
  EnsureBlackAndWhite(one);
  EXPECT_EQ(one, (ColourList{kBlack}));
}

TEST(Palettes, FillFromDefaultSkipsPresentColoursAndBlack) {
  ColourList list = {0x0000FF, 0x123456};
  FillFromDefaultPalette(list, 8);
  // Black never comes from the table: the unfilled entries already hold it.
  EXPECT_EQ(list,
            (ColourList{0x0000FF, 0x123456, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000}));
}

TEST(Palettes, ConvertingOneBitToEightKeepsItsTwoColoursFirst) {
  TBitmap src;
  SetupBitmap(src, 2, 1, PixelFormat::Bits1);
  ApplyPalette(src, {0x0000FF, 0x00FF00});
  TBitmap dst;
  SetupBitmap(dst, 2, 1, PixelFormat::Bits8);
  CompletePalette(dst, src.Palette(), false);
  ASSERT_EQ(dst.Palette().size(), 256u);
  EXPECT_EQ(dst.Palette()[0], 0x0000FFu);
  EXPECT_EQ(dst.Palette()[1], 0x00FF00u);
  EXPECT_EQ(dst.Palette()[2], 0x000080u);  // table from index 1, skipping black and the two
}

TEST(Palettes, ChooseAutomaticDepth) {
  auto eight = [](std::initializer_list<Colour> colours) {
    TBitmap b;
    SetupBitmap(b, static_cast<int>(colours.size()), 1, PixelFormat::Bits8);
    ColourList pal(colours);
    ApplyPalette(b, pal);
    for (int x = 0; x < b.Width(); ++x) b.SetIndex(x, 0, x);
    return b;
  };
  EXPECT_EQ(ChooseAutomaticDepth(test::make32(2, 2, 0xFF000000)), 32);
  EXPECT_EQ(ChooseAutomaticDepth(eight({kBlack, kWhite})), 1);
  EXPECT_EQ(ChooseAutomaticDepth(eight({kBlack, 0x0000FF})), 4);
  EXPECT_EQ(ChooseAutomaticDepth(eight({0x0000FF})), 4);
  EXPECT_EQ(ChooseAutomaticDepth(eight({0x808080, 0xC0C0C0})), 4);
  EXPECT_EQ(ChooseAutomaticDepth(eight({0x808081})), 8);
  ColourList all(StandardPalette16.begin(), StandardPalette16.end());
  TBitmap b16;
  SetupBitmap(b16, 16, 1, PixelFormat::Bits8);
  ApplyPalette(b16, all);
  for (int x = 0; x < 16; ++x) b16.SetIndex(x, 0, x);
  EXPECT_EQ(ChooseAutomaticDepth(b16), 4);
  TBitmap b17;
  SetupBitmap(b17, 17, 1, PixelFormat::Bits8);
  all.push_back(0x010101);
  ApplyPalette(b17, all);
  for (int x = 0; x < 17; ++x) b17.SetIndex(x, 0, x);
  EXPECT_EQ(ChooseAutomaticDepth(b17), 8);
}

TBitmap distinctColours24(int count, Colour base) {
  TBitmap b;
  SetupBitmap(b, count, 1, PixelFormat::Bits24);
  for (int x = 0; x < count; ++x) b.SetPixel(x, 0, base + static_cast<Colour>(x) * 0x010101);
  return b;
}

TEST(Palettes, ExactPalette8HoldsAtMost256) {
  TBitmap dst;
  EXPECT_TRUE(ExactPalette8(distinctColours24(254, 0x010100), dst, true, true));
  ASSERT_EQ(dst.Palette().size(), 256u);
  EXPECT_EQ(dst.Palette()[0], kBlack);
  EXPECT_EQ(dst.Palette()[1], kWhite);
  EXPECT_EQ(dst.Palette()[2], 0x010100u);
  EXPECT_EQ(dst.GetIndex(253, 0), 255);
  EXPECT_FALSE(ExactPalette8(distinctColours24(255, 0x010100), dst, true, true));

  TBitmap few;
  EXPECT_TRUE(ExactPalette8(distinctColours24(3, 0x202020), few, false, false));
  EXPECT_EQ(few.Palette()[2], 0x222222u);
  EXPECT_EQ(few.Palette()[3], kBlack);  // topped up with black
}

TEST(Palettes, ReserveTransparentIndexUsesTheFreeSlot) {
  TBitmap b;
  SetupBitmap(b, 200, 1, PixelFormat::Bits8);
  ColourList pal;
  for (Colour i = 0; i < 256; ++i) pal.push_back(i * 0x010101 + 0x000100);
  ApplyPalette(b, pal);
  for (int x = 0; x < 200; ++x) b.SetIndex(x, 0, x + 1);
  TBitmap mask;
  SetupBitmap(mask, 200, 1, PixelFormat::Bits1);
  std::memset(mask.Data(), 0, mask.ByteSize());
  mask.SetIndex(5, 0, 1);
  EXPECT_EQ(ReserveTransparentIndex(b, mask, NoColour), 0);
  EXPECT_EQ(b.Palette()[0], 0x000001u);  // smallest value absent: the free slot now holds black
  for (int x = 0; x < 200; ++x) EXPECT_EQ(b.GetIndex(x, 0), x == 5 ? 0 : x + 1);
  EXPECT_EQ(b.Palette()[7], pal[7]);
}

TEST(Palettes, ReserveTransparentIndexMergesTheClosestPair) {
  TBitmap b;
  SetupBitmap(b, 256, 2, PixelFormat::Bits8);
  ColourList pal;
  for (Colour i = 0; i < 256; ++i) pal.push_back(makeColour(i, (i * 7) & 0xFF, 200));
  pal[100] = pal[40];  // two equal colours: distance 0
  ApplyPalette(b, pal);
  for (int x = 0; x < 256; ++x) {
    b.SetIndex(x, 0, x);
    b.SetIndex(x, 1, x == 40 ? 40 : x);  // index 40 used three times, index 100 twice
  }
  b.SetIndex(0, 1, 40);
  TBitmap mask;
  SetupBitmap(mask, 256, 2, PixelFormat::Bits1);
  std::memset(mask.Data(), 0, mask.ByteSize());
  ReserveTransparentIndex(b, mask, 0x123456);
  EXPECT_EQ(b.Palette()[0], 0x123456u);
  // Index 100 (less used) was dropped; entries 0..99 moved up by one.
  EXPECT_EQ(b.Palette()[41], pal[40]);
  EXPECT_EQ(b.Palette()[101], pal[101]);
  EXPECT_EQ(b.GetIndex(100, 0), 41);
  EXPECT_EQ(b.GetIndex(99, 0), 100);
  EXPECT_EQ(b.GetIndex(101, 0), 101);
}

}  // namespace
}  // namespace icofmt
