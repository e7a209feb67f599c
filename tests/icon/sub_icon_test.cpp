#include <gtest/gtest.h>

#include <cstdio>

#include "base/errors.h"
#include "base/stream.h"
#include "icon/advanced_icon.h"
#include "icon_builders.h"
#include "pictures.h"
#include "pixels/bitmap.h"
#include "pixels/palettes.h"
#include "pixels/png_image.h"
#include "pixels/reduce.h"
#include "support/temp_folder.h"

using namespace icofmt;
using namespace icotest;

namespace {

uint32_t rgbOf(const uint8_t rgba[4]) { return uint32_t{rgba[0]} << 16 | rgba[1] << 8 | rgba[2]; }

bool close16(uint32_t a, uint32_t b) {
  for (int k = 0; k < 24; k += 8)
    if (std::abs(static_cast<int>(a >> k & 255) - static_cast<int>(b >> k & 255)) > 7) return false;
  return true;
}

// Checks every pixel of an exported PNG against the picture.
void expectPixels(const PngImage& png, const Picture& p) {
  ASSERT_EQ(png.Width(), static_cast<int>(p.w));
  ASSERT_EQ(png.Height(), static_cast<int>(p.h));
  for (uint32_t y = 0; y < p.h; ++y)
    for (uint32_t x = 0; x < p.w; ++x) {
      uint8_t rgba[4];
      png.PixelRgba(static_cast<int>(x), static_cast<int>(y), rgba);
      if (p.bpp == 32) {
        ASSERT_EQ(rgba[3], p.value(x, y) >> 24) << x << "," << y;
        ASSERT_EQ(rgbOf(rgba), p.rgb(x, y)) << x << "," << y;
      } else if (p.transparent(x, y)) {
        ASSERT_EQ(rgba[3], 0) << x << "," << y;
      } else {
        ASSERT_EQ(rgba[3], 255) << x << "," << y;
        if (p.bpp == 16)
          ASSERT_TRUE(close16(rgbOf(rgba), p.rgb(x, y))) << x << "," << y;
        else
          ASSERT_EQ(rgbOf(rgba), p.rgb(x, y)) << x << "," << y << " bpp " << p.bpp;
      }
    }
}

}  // namespace

TEST(SubIcon, EveryDepthAndSizeExtractsAndExportsItsPixels) {
  for (uint16_t bpp : {1, 4, 8, 16, 24, 32})
    for (auto [w, h] : {std::pair{1u, 1u}, {3u, 5u}, {17u, 9u}, {33u, 33u}, {48u, 20u}})
      for (bool holes : {false, true}) {
        SCOPED_TRACE(testing::Message() << bpp << " bpp " << w << "x" << h << (holes ? " holes" : ""));
        const Picture p{w, h, bpp, holes};
        const TFileIconImage image = imageOf(p.block());
        ASSERT_EQ(image.Width(), static_cast<int>(w));
        ASSERT_EQ(image.Height(), static_cast<int>(h));
        ASSERT_EQ(image.BitCount(), bpp);

        TBitmap raw, mask;
        image.ExtractBitmaps(nullptr, &raw, kBlack, &mask);
        ASSERT_EQ(raw.Width(), static_cast<int>(w));
        ASSERT_EQ(mask.Height(), static_cast<int>(h));
        for (uint32_t y = 0; y < h; ++y)
          for (uint32_t x = 0; x < w; ++x) {
            const bool masked = bpp == 32 ? (p.value(x, y) >> 24) < 96 : p.transparent(x, y);
            ASSERT_EQ(MaskIsWhite(mask, static_cast<int>(x), static_cast<int>(y)), masked);
            const Colour c = raw.GetPixel(static_cast<int>(x), static_cast<int>(y));
            const uint32_t shown = redOf(c) << 16 | greenOf(c) << 8 | blueOf(c);
            if (bpp == 16)
              ASSERT_TRUE(close16(shown, p.rgb(x, y)));
            else
              ASSERT_EQ(shown, p.rgb(x, y));
          }
        expectPixels(exported(image), p);
      }
}

TEST(SubIcon, ExportChoosesTheFormByDepthAndTransparency) {
  const PngImage opaque4 = exported(imageOf(Picture{9, 4, 4, false}.block()));
  EXPECT_EQ(opaque4.ColourType(), PngColourType::Palette);  // unchanged, not through 8 bits
  EXPECT_EQ(opaque4.BitDepth(), 4);
  const PngImage holes4 = exported(imageOf(Picture{9, 4, 4, true}.block()));
  EXPECT_EQ(holes4.BitDepth(), 8);
  ASSERT_TRUE(holes4.HasTransparency());
  EXPECT_EQ(holes4.Transparency(), std::vector<uint8_t>{0});
  const PngImage holes16 = exported(imageOf(Picture{5, 5, 16, true}.block()));
  EXPECT_EQ(holes16.ColourType(), PngColourType::Rgba);
  const PngImage opaque24 = exported(imageOf(Picture{5, 5, 24, false}.block()));
  EXPECT_EQ(opaque24.ColourType(), PngColourType::Rgb);
  EXPECT_EQ(exported(imageOf(Picture{5, 5, 32, true}.block())).ColourType(), PngColourType::Rgba);
}

TEST(SubIcon, FullPaletteWithTransparencyMergesTheClosestEntries) {
  // All 256 entries in use, two of them nearly equal.
  std::vector<uint32_t> palette;
  for (uint32_t i = 0; i < 256; ++i)
    palette.push_back(i == 200 ? 0x010203 : (i * 0x9E3779B1u) >> 8 & 0xFFFFFF);
  palette[201] = 0x010204;
  const Bytes block = pixelBlock(
      16, 17, 8, palette, [](uint32_t x, uint32_t y) { return (y * 16 + x) & 255; },
      [](uint32_t x, uint32_t y) { return y == 16 && x < 3; });
  const PngImage png = exported(imageOf(block));
  ASSERT_EQ(png.ColourType(), PngColourType::Palette);
  EXPECT_EQ(png.Transparency(), std::vector<uint8_t>{0});
  for (int x = 0; x < 3; ++x) EXPECT_EQ(png.Row(16)[x], 0);
  // Every opaque pixel keeps its colour but for the merged pair.
  for (int y = 0; y < 17; ++y)
    for (int x = 0; x < 16; ++x) {
      if (y == 16 && x < 3) continue;
      uint8_t rgba[4];
      png.PixelRgba(x, y, rgba);
      EXPECT_EQ(rgba[3], 255);
      const uint32_t want = palette[static_cast<size_t>((y * 16 + x) & 255)];
      if (want == 0x010203 || want == 0x010204)
        EXPECT_LE(std::abs(static_cast<int>(rgbOf(rgba)) - 0x010203), 1);
      else
        EXPECT_EQ(rgbOf(rgba), want);
    }
}

TEST(SubIcon, DrawnImageUsesTheKeyColourAndInvertsOverWhite) {
  // 1 bit: pixel (0,0) black under the mask (transparent), (1,0) white under
  // the mask (inverted), (2,0) white opaque.
  const Bytes block = pixelBlock(
      3, 1, 1, {0x000000, 0xFFFFFF}, [](uint32_t x, uint32_t) { return x == 0 ? 0u : 1u; },
      [](uint32_t x, uint32_t) { return x < 2; });
  const TFileIconImage image = imageOf(block);
  TBitmap drawn;
  image.ExtractBitmaps(&drawn, nullptr, makeColour(0, 0, 255), nullptr);
  // A 1-bit image over a colour that is not black keys on white.
  EXPECT_EQ(drawn.GetPixel(0, 0), kWhite);
  EXPECT_EQ(drawn.GetPixel(1, 0), kBlack);
  EXPECT_EQ(drawn.GetPixel(2, 0), kWhite);
  image.ExtractBitmaps(&drawn, nullptr, kBlack, nullptr);
  EXPECT_EQ(drawn.GetPixel(0, 0), kBlack);
  EXPECT_EQ(drawn.GetPixel(1, 0), kWhite);

  // 32 bits: composited over the background, alpha 255 after.
  const Bytes b32 = pixelBlock(
      2, 1, 32, {}, [](uint32_t x, uint32_t) { return x == 0 ? 0x80FF0000u : 0x00123456u; },
      [](uint32_t, uint32_t) { return false; });
  TBitmap over;
  imageOf(b32).ExtractBitmaps(&over, nullptr, makeColour(0, 0, 200), nullptr);
  // Red 255 at alpha 128 over blue 200: red 0 + 128 * 255 / 255, blue 200 - 128 * 200 / 255.
  EXPECT_EQ(over.GetPixel(0, 0), makeColour(128, 0, 200 - 128 * 200 / 255));
  EXPECT_EQ(over.GetPixel(1, 0), makeColour(0, 0, 200));
  EXPECT_EQ(over.ScanLine(0)[3], 255);
}

TEST(SubIcon, ZeroAlphaImagesShowThroughTheirMaskAsWindowsDoes) {
  // Three 32-bit pixels, colour 0x123456: their alpha and their mask bits.
  struct Case {
    const char* name;
    uint32_t alpha;
    bool masked[3];
    uint8_t exportedAlpha[3];
  };
  const Case cases[] = {
      {"alpha all 0, mask marks two: the mask decides", 0, {true, false, true}, {0, 255, 0}},
      {"alpha all 0, empty mask: opaque", 0, {false, false, false}, {255, 255, 255}},
      {"alpha in use: the mask is ignored", 0x80, {true, false, true}, {0x80, 0x80, 0x80}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TFileIconImage image = imageOf(pixelBlock(
        3, 1, 32, {}, [&](uint32_t, uint32_t) { return c.alpha << 24 | 0x123456u; },
        [&](uint32_t x, uint32_t) { return c.masked[x]; }));
    const Bytes rgba = rgbaOf(exported(image));  // open and extract
    TBitmap drawn;                               // previews
    image.ExtractBitmaps(&drawn, nullptr, makeColour(0, 0, 200), nullptr);
    for (int x = 0; x < 3; ++x) {
      EXPECT_EQ(rgba[4 * x + 3], c.exportedAlpha[x]) << x;
      if (c.exportedAlpha[x] == 255) {
        EXPECT_EQ(drawn.GetPixel(x, 0), makeColour(0x12, 0x34, 0x56)) << x;
      } else if (c.exportedAlpha[x] == 0) {
        EXPECT_EQ(drawn.GetPixel(x, 0), makeColour(0, 0, 200)) << x;
      }
    }
  }
}

TEST(SubIcon, UnreadableBlocksFallBackToTheBackground) {
  // Colour bits cut off: raw and drawn are the background at the image's size.
  Bytes block = Picture{6, 4, 24, false}.block();
  block.resize(50);
  TFileIconImage image = imageOf(block);
  TBitmap raw, drawn, mask;
  image.ExtractBitmaps(&drawn, &raw, makeColour(10, 20, 30), &mask);
  EXPECT_EQ(raw.Width(), 6);
  EXPECT_EQ(raw.Format(), PixelFormat::Bits24);
  EXPECT_EQ(raw.GetPixel(5, 3), makeColour(10, 20, 30));
  EXPECT_EQ(drawn.GetPixel(0, 0), makeColour(10, 20, 30));
  EXPECT_FALSE(MaskIsWhite(mask, 0, 0));  // a missing mask is opaque
  PngImage png;
  image.SaveToPNG(png);
  EXPECT_EQ(png.Width(), 6);

  TSubIcon empty;
  raw.SetSize(3, 3);
  empty.ExtractBitmaps(nullptr, &raw, kBlack, nullptr);
  EXPECT_EQ(raw.Width(), 0);
}

TEST(SubIcon, DescriptionsNameSizeDepthAndPacking) {
  EXPECT_EQ(imageOf(Picture{48, 48, 8, false}.block()).Description(), "48x48, 256 colors");
  EXPECT_EQ(imageOf(Picture{16, 16, 1, false}.block()).Description(), "16x16, 2 colors");
  EXPECT_EQ(imageOf(Picture{16, 8, 4, false}.block()).Description(), "16x8, 16 colors");
  EXPECT_EQ(imageOf(Picture{2, 2, 16, false}.block()).Description(), "2x2, 65k colors");
  EXPECT_EQ(imageOf(Picture{2, 2, 24, false}.block()).Description(), "2x2, True Color");
  TFileIconImage packed = imageOf(Picture{256, 256, 32, true}.block());
  packed.SetPacked(true);
  EXPECT_EQ(packed.Description(), "256x256, 32 bpp, packed");
  TSubIcon png;
  packed.Pack(png);
  EXPECT_EQ(png.Description(), "Packed");
}

TEST(SubIcon, PackAndUnpackRoundTripThePixels) {
  for (uint16_t bpp : {1, 4, 8, 24, 32}) {
    SCOPED_TRACE(bpp);
    const Picture p{13, 7, bpp, true};
    const TFileIconImage image = imageOf(p.block());
    TSubIcon packed;
    image.Pack(packed);
    EXPECT_TRUE(packed.IsPNG());
    EXPECT_TRUE(packed.Packed());
    EXPECT_EQ(packed.Entry().BitCount, bpp);  // the bitmap form's record
    EXPECT_EQ(packed.Entry().Size, packed.Data().size());
    TSubIcon unpacked;
    packed.UnpackPNG(unpacked);
    EXPECT_FALSE(unpacked.Packed());
    // True colour with transparency travels as RGBA and comes back as 32 bits.
    EXPECT_EQ(unpacked.BitCount(), bpp == 24 ? 32 : bpp);
    expectPixels(exported(unpacked), p);
    if (bpp == 32) {
      EXPECT_TRUE(std::equal(image.Data().begin() + 40, image.Data().end(), unpacked.Data().begin() + 40));
    }
  }
  // Packing an image that is already PNG onto itself only marks it.
  TFileIconImage image = imageOf(Picture{4, 4, 32, false}.block());
  TSubIcon png;
  image.Pack(png);
  const Bytes before = png.Data();
  png.SetPacked(false);
  png.Pack(png);
  EXPECT_TRUE(png.Packed());
  EXPECT_EQ(png.Data(), before);
}

TEST(SubIcon, UnpackingFollowsTheDirectoryBitCount) {
  // A true-colour PNG whose directory says 8 bits becomes an 8-bit block.
  const Bytes truecolour =
      rgbaPng(5, 5, [](uint32_t x, uint32_t y) { return (x * 40) << 24 | (y * 50) << 16 | 0xFF; });
  EntrySpec e8;
  e8.block = truecolour;
  e8.bitCount = 8;
  EntrySpec e32 = e8;
  e32.bitCount = 32;
  // A 16-colour palette PNG with a transparent entry, directory 4 bits.
  std::vector<Bytes> rows(3, Bytes{0x01, 0x23});
  Bytes palette;
  for (int i = 0; i < 16; ++i) palette.insert(palette.end(), {uint8_t(i * 16), uint8_t(255 - i * 16), 7});
  EntrySpec e4;
  e4.block = pngFile(4, 3, 4, 3, rows, palette, Bytes{0});
  e4.bitCount = 4;
  TAdvancedIcon icon;
  TMemoryStream in(iconFile({e8, e32, e4}));
  ASSERT_TRUE(icon.LoadFromStream(in));
  ASSERT_EQ(icon.Images().Count(), 3);
  EXPECT_EQ(icon.Images().Items(0)->BitCount(), 8);
  EXPECT_EQ(icon.Images().Items(1)->BitCount(), 32);
  const TSubIcon& four = *icon.Images().Items(2);
  EXPECT_EQ(four.BitCount(), 4);
  EXPECT_EQ(four.Description(), "4x3, 16 colors, packed");
  TBitmap raw, mask;
  four.ExtractBitmaps(nullptr, &raw, kBlack, &mask);
  EXPECT_TRUE(MaskIsWhite(mask, 0, 0));  // index 0 is transparent
  EXPECT_FALSE(MaskIsWhite(mask, 1, 0));
  EXPECT_EQ(raw.GetPixel(3, 2), makeColour(48, 255 - 48, 7));  // its own palette, not the standard one
  // The 32-bit unpacked block masks alpha below 96.
  TFileIconImage alpha;
  TMemoryStream s(rgbaPng(3, 1, [](uint32_t x, uint32_t) {
    return 0x11223300u | (x == 0 ? 95 : x == 1 ? 96 : 255);
  }));
  alpha.CreateFromBlock(s, {.BitCount = 32, .Size = static_cast<uint32_t>(s.Size())});
  alpha.ExtractBitmaps(nullptr, nullptr, kBlack, &mask);
  EXPECT_TRUE(MaskIsWhite(mask, 0, 0));
  EXPECT_FALSE(MaskIsWhite(mask, 1, 0));
}
