#include "pixels/palettes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "pixels/reduce.h"
#include "test_util.h"

namespace icofmt {
namespace {

TEST(Palettes, TablesHoldTheFixedColours) {
  EXPECT_EQ(StandardPalette2[0], 0x000000u);
  EXPECT_EQ(StandardPalette2[1], 0xFFFFFFu);
  // Values are 0x00BBGGRR: maroon is red 0x80.
  EXPECT_EQ(StandardPalette16[1], 0x000080u);
  EXPECT_EQ(StandardPalette16[4], 0x800000u);
  EXPECT_EQ(StandardPalette16[7], 0x808080u);
  EXPECT_EQ(StandardPalette16[8], 0xC0C0C0u);
  EXPECT_EQ(StandardPalette16[9], 0x0000FFu);
  EXPECT_EQ(DefaultPalette256[7], 0xC0C0C0u);
  EXPECT_EQ(DefaultPalette256[8], 0x808080u);
  for (int i : {0, 1, 2, 3, 4, 5, 6, 9, 10, 11, 12, 13, 14, 15})
    EXPECT_EQ(DefaultPalette256[static_cast<size_t>(i)], StandardPalette16[static_cast<size_t>(i)]);
  EXPECT_EQ(DefaultPalette256[16], 0x090909u);
  EXPECT_EQ(DefaultPalette256[36], 0xF0FBFFu);   // FFFBF0
  EXPECT_EQ(DefaultPalette256[39], 0xF0CAA6u);   // A6CAF0
  EXPECT_EQ(DefaultPalette256[47], 0x2424FFu);   // FF2424
  EXPECT_EQ(DefaultPalette256[131], 0x6DFF24u);  // 24FF6D
  EXPECT_EQ(DefaultPalette256[255], 0xCDB4FFu);  // FFB4CD
  std::set<Colour> distinct(DefaultPalette256.begin(), DefaultPalette256.end());
  EXPECT_EQ(distinct.size(), 256u);
  uint32_t grey = 0;
  for (size_t i = 16; i < 36; ++i) grey += DefaultPalette256[i] & 0xFF;
  EXPECT_EQ(grey, 0x09u + 0x12 + 0x1F + 0x2C + 0x39 + 0x45 + 0x52 + 0x5F + 0x6C + 0x78 + 0x85 + 0x92 + 0x9F +
                      0xAB + 0xB8 + 0xC5 + 0xD2 + 0xDE + 0xEB + 0xF8);
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
