#include "save/source_image.h"

#include <gtest/gtest.h>

#include "pixels/png_image.h"
#include "temp_folder.h"

namespace icofmt::save {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A host document as the reference host sends it: packed, interleaved,
// top row first; Bitmap rows of whole bytes with a set bit black.
struct Document {
  HostImage image;
  Bytes pixels;
  ColourTables tables;
  Bytes png;  // what the carried module writes, for Gray and Indexed
};

Colour tableColour(const ColourTables& t, int i) { return makeColour(t.red[i], t.green[i], t.blue[i]); }

void setEntry(ColourTables& t, int i, Colour c) {
  t.red[i] = static_cast<std::uint8_t>(redOf(c));
  t.green[i] = static_cast<std::uint8_t>(greenOf(c));
  t.blue[i] = static_cast<std::uint8_t>(blueOf(c));
}

std::uint8_t rgbSample(int x, int y, int k) {
  const int v[4] = {x * 30, y * 40, x + y + 1, (x + y) % 3 == 0 ? 0 : 1 + x * 20 + y};
  return static_cast<std::uint8_t>(v[k]);
}

// Palette entries 0..5; entry 2 is transparent in the PNG, 3 just opaque.
constexpr std::uint8_t kIndexAlpha[6] = {255, 255, 79, 80, 255, 0};

Document makeDocument(std::uint8_t mode, int w, int h) {
  Document d;
  d.image = {mode, w, h, mode == kModeRgb ? 4 : mode == kModeGray ? 2 : 1};
  PngImage png;
  if (mode == kModeIndexed) {
    png.Create(w, h, PngColourType::Palette);
    ColourList palette;
    for (int i = 0; i < 6; ++i) {
      setEntry(d.tables, i, makeColour(40 * i, 255 - 30 * i, 7 * i));
      palette.push_back(tableColour(d.tables, i));
    }
    png.SetPalette(palette);
    png.SetTransparency(Bytes(kIndexAlpha, kIndexAlpha + 6));
  } else if (mode == kModeGray) {
    png.Create(w, h, PngColourType::GreyAlpha);
    for (int i = 0; i < 256; ++i) setEntry(d.tables, i, makeColour(i, i, i));
  }
  for (int y = 0; y < h; ++y) {
    if (mode == kModeBitmap) {
      for (int b = 0; b < (w + 7) / 8; ++b)
        d.pixels.push_back(static_cast<std::uint8_t>(0x5A ^ (y * 17 + b)));
      continue;
    }
    for (int x = 0; x < w; ++x) {
      if (mode == kModeRgb) {
        for (int k = 0; k < 4; ++k) d.pixels.push_back(rgbSample(x, y, k));
      } else if (mode == kModeIndexed) {
        d.pixels.push_back(static_cast<std::uint8_t>((3 * x + y) % 6));
        png.Row(y)[x] = d.pixels.back();
      } else {
        const auto grey = static_cast<std::uint8_t>(20 * x + y),
                   alpha = static_cast<std::uint8_t>(37 * (x + y));
        d.pixels.push_back(grey);
        d.pixels.push_back(alpha);
        png.Row(y)[2 * x] = grey;
        png.Row(y)[2 * x + 1] = alpha;
      }
    }
  }
  if (mode == kModeIndexed || mode == kModeGray) d.png = png.Encode();
  return d;
}

// The capture of a document delivered one row per block.
Bytes captureByRows(const Document& d) {
  const std::size_t rowBytes = d.image.mode == kModeBitmap
                                   ? (d.image.width + 7) / 8
                                   : static_cast<std::size_t>(d.image.width) * d.image.planes;
  Bytes capture;
  for (int y = 0; y < d.image.height; ++y) {
    DeliveredBlock b;
    b.data = d.pixels.data() + rowBytes * y;
    b.top = static_cast<std::int16_t>(y);
    b.bottom = static_cast<std::int16_t>(y + 1);
    b.right = static_cast<std::int16_t>(d.image.width);
    b.hiPlane = static_cast<std::int16_t>(d.image.planes - 1);
    b.imageRows = static_cast<std::int16_t>(d.image.height);
    appendDeliveredBlock(capture, b, d.image);
  }
  return capture;
}

bool masked(const TBitmap& mask, int x, int y) { return mask.GetIndex(x, y) == 1; }

TEST(SourceImageTest, EveryModeBuildsTheDocumentItWasSent) {
  for (std::uint8_t mode : {kModeBitmap, kModeGray, kModeIndexed, kModeRgb}) {
    SCOPED_TRACE(int{mode});
    const int w = 11, h = 5;
    const Document d = makeDocument(mode, w, h);
    const Bytes capture = captureByRows(d);
    TBitmapFix32 source;
    TBitmap mask;
    int depth = 0;
    ASSERT_EQ(buildSourceImage({d.image, capture, &d.tables, d.png}, source, mask, depth), 0);
    ASSERT_EQ(source.Width(), w);
    ASSERT_EQ(source.Height(), h);
    ASSERT_EQ(mask.Width(), w);
    ASSERT_EQ(mask.Format(), PixelFormat::Bits1);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        SCOPED_TRACE(::testing::Message() << x << "," << y);
        if (mode == kModeRgb) {
          const std::uint8_t* p = source.ScanLine(y) + 4 * x;
          EXPECT_EQ((Bytes{p[2], p[1], p[0], p[3]}),
                    (Bytes{rgbSample(x, y, 0), rgbSample(x, y, 1), rgbSample(x, y, 2), rgbSample(x, y, 3)}));
          EXPECT_EQ(masked(mask, x, y), rgbSample(x, y, 3) == 0);
        } else if (mode == kModeIndexed) {
          const int index = d.pixels[y * w + x];
          EXPECT_EQ(source.GetIndex(x, y), index);
          EXPECT_EQ(masked(mask, x, y), kIndexAlpha[index] < 80);
        } else if (mode == kModeGray) {
          EXPECT_EQ(source.GetIndex(x, y), d.pixels[2 * (y * w + x)]);
          EXPECT_EQ(masked(mask, x, y), d.pixels[2 * (y * w + x) + 1] < 80);
        } else {
          const bool hostBlack = (d.pixels[y * 2 + x / 8] >> (7 - x % 8)) & 1;
          EXPECT_EQ(source.GetIndex(x, y), hostBlack ? 0 : 1);
          EXPECT_FALSE(masked(mask, x, y));
        }
      }
    }
    if (mode == kModeIndexed || mode == kModeGray) {
      ASSERT_EQ(source.Format(), PixelFormat::Bits8);
      for (int i = 0; i < 256; ++i) EXPECT_EQ(source.Palette()[i], tableColour(d.tables, i));
    }
    const int expectedDepth[] = {1, 8, 8, 32};
    EXPECT_EQ(depth, expectedDepth[mode]);
  }
}

TEST(SourceImageTest, CaptureOfAnotherLengthIsRefused) {
  for (std::uint8_t mode : {kModeBitmap, kModeGray, kModeIndexed, kModeRgb}) {
    SCOPED_TRACE(int{mode});
    const Document d = makeDocument(mode, 9, 4);
    for (long delta : {-1L, 1L}) {
      Bytes capture = d.pixels;
      capture.resize(capture.size() + delta, 0);
      TBitmapFix32 source;
      TBitmap mask;
      int depth = 99;
      EXPECT_EQ(buildSourceImage({d.image, capture, &d.tables, d.png}, source, mask, depth), -1);
      // The RGB and bit builders propose their depth before they look.
      EXPECT_EQ(depth, mode == kModeRgb ? 32 : mode == kModeBitmap ? 1 : 99);
    }
    // No planes or no pixels: an empty capture matches, yet makes no image.
    for (HostImage empty : {HostImage{mode, 9, 4, 0}, HostImage{mode, 0, 4, 1}}) {
      TBitmapFix32 source;
      TBitmap mask;
      int depth = 0;
      EXPECT_EQ(buildSourceImage({empty, {}, &d.tables, d.png}, source, mask, depth), -1);
    }
  }
}

TEST(SourceImageTest, RgbAlphaComesFromTheFourthPlaneOnly) {
  struct Case {
    int planes;
    Bytes capture;
    int result;
    Bytes firstPixel, secondPixel;  // R, G, B, A
    bool firstMasked;
  };
  const Case cases[] = {
      {4, {10, 20, 30, 0, 40, 50, 60, 255}, 0, {10, 20, 30, 0}, {40, 50, 60, 255}, true},
      {4, {10, 20, 30, 1, 40, 50, 60, 1}, 0, {10, 20, 30, 1}, {40, 50, 60, 1}, false},
      // No transparency plane: opaque, and never a byte past the capture.
      {3, {10, 20, 30, 40, 50, 60}, 0, {10, 20, 30, 255}, {40, 50, 60, 255}, false},
      {2, {10, 20, 30, 40}, -1, {}, {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.planes);
    const HostImage image{kModeRgb, 2, 1, c.planes};
    const auto exact = std::make_unique<std::uint8_t[]>(c.capture.size());
    std::copy(c.capture.begin(), c.capture.end(), exact.get());
    TBitmapFix32 source;
    TBitmap mask;
    int depth = 0;
    ASSERT_EQ(buildRgbSource(image, {exact.get(), c.capture.size()}, source, mask, depth), c.result);
    EXPECT_EQ(depth, 32);
    if (c.result != 0) continue;
    const std::uint8_t* p = source.ScanLine(0);
    EXPECT_EQ((Bytes{p[2], p[1], p[0], p[3]}), c.firstPixel);
    EXPECT_EQ((Bytes{p[6], p[5], p[4], p[7]}), c.secondPixel);
    EXPECT_EQ(masked(mask, 0, 0), c.firstMasked);
    EXPECT_FALSE(masked(mask, 1, 0));
  }
}

TEST(SourceImageTest, BitmapBitsAreInvertedAndOpaque) {
  TBitmapFix32 source;
  TBitmap mask;
  int depth = 0;
  const Bytes capture{0xF0};
  ASSERT_EQ(buildBitSource({kModeBitmap, 8, 1, 1}, capture, source, mask, depth), 0);
  EXPECT_EQ(source.ScanLine(0)[0], 0x0F);
  EXPECT_EQ(source.Palette(), (ColourList{kBlack, kWhite}));
  for (int x = 0; x < 8; ++x) EXPECT_FALSE(masked(mask, x, 0));
  EXPECT_EQ(depth, 1);
}

// An Indexed image of one row using the given palette entries, and its PNG.
struct Proposal {
  const char* what;
  std::vector<std::pair<int, Colour>> entries;
  Bytes pixels;
  int depth;
  Bytes distinct;
  std::uint8_t mode = kModeIndexed;
  Colour fill = kBlack;  // every other entry
};

TEST(SourceImageTest, ProposedDepthFollowsTheColoursUsed) {
  const Colour red = makeColour(255, 0, 0), silver = makeColour(192, 192, 192);
  const Proposal cases[] = {
      {"black and white", {{0, kBlack}, {1, kWhite}}, {1, 0, 1}, 1, {1, 0}},
      {"standard colours", {{0, red}, {1, silver}, {2, kWhite}}, {0, 1, 2}, 4, {0, 1, 2}},
      {"one more colour",
       {{0, red}, {1, silver}, {2, kWhite}, {3, makeColour(200, 0, 0)}},
       {0, 1, 2, 3},
       8,
       {0, 1, 2, 3}},
      {"black alone", {{0, kBlack}}, {0, 0}, 4, {0}},
      {"near-black joins black", {{0, kBlack}, {7, makeColour(3, 2, 4)}, {1, kWhite}}, {0, 7, 1}, 1, {0, 1}},
      {"near-black before black",
       {{4, makeColour(4, 4, 4)}, {9, kBlack}, {1, kWhite}},
       {4, 1, 9},
       1,
       {9, 1},
       kModeIndexed,
       makeColour(50, 50, 50)},
      {"no black entry: counted as 255",
       {{0, makeColour(3, 3, 3)}, {1, kWhite}},
       {0, 1},
       8,
       {255, 1},
       kModeIndexed,
       makeColour(9, 9, 9)},
      {"first occurrence order",
       {{5, kWhite}, {3, kBlack}},
       {5, 3, 5, 0},
       8,
       {5, 3, 0},
       kModeIndexed,
       makeColour(50, 50, 50)},
      {"gray", {{0, kBlack}, {1, kWhite}}, {0, 1}, 8, {0, 1}, kModeGray},
  };
  for (const Proposal& c : cases) {
    SCOPED_TRACE(c.what);
    ColourTables tables;
    for (int i = 0; i < 256; ++i) setEntry(tables, i, c.fill);
    for (const auto& [i, colour] : c.entries) setEntry(tables, i, colour);
    const int w = static_cast<int>(c.pixels.size());
    PngImage png;
    png.Create(w, 1, c.mode == kModeGray ? PngColourType::Grey : PngColourType::Palette);
    if (c.mode != kModeGray) png.SetPalette(ColourList(256, kBlack));
    std::copy(c.pixels.begin(), c.pixels.end(), png.Row(0));
    TBitmapFix32 source;
    TBitmap mask;
    TListByte distinct;
    int depth = 0;
    ASSERT_EQ(
        buildPaletteSource({c.mode, w, 1, 1}, c.pixels, tables, png.Encode(), source, mask, distinct, depth),
        0);
    EXPECT_EQ(depth, c.depth);
    EXPECT_EQ(Bytes(distinct.Values().begin(), distinct.Values().end()), c.distinct);
    for (int x = 0; x < w; ++x) EXPECT_FALSE(masked(mask, x, 0));
  }
}

TEST(SourceImageTest, PngThatIsNotTheImageIsRefused) {
  const Document d = makeDocument(kModeIndexed, 6, 3);
  const Document other = makeDocument(kModeIndexed, 7, 3);
  Bytes truncated = d.png;
  truncated.resize(truncated.size() - 20);
  Bytes corrupt = d.png;
  corrupt[40] ^= 0xFF;
  for (const Bytes& png :
       {Bytes{}, other.png, truncated, corrupt, Bytes(d.png.begin(), d.png.begin() + 24)}) {
    TBitmapFix32 source;
    TBitmap mask;
    int depth = 99;
    EXPECT_EQ(buildSourceImage({d.image, d.pixels, &d.tables, png}, source, mask, depth), -1);
    EXPECT_EQ(depth, 99);
  }
}

TEST(SourceImageTest, PngIsReadBackFromTheStart) {
  test::TempFolder temp;
  const Document d = makeDocument(kModeGray, 5, 5);
  temp.write("tmp.png", d.png);
  platform::FileHandle file =
      platform::openFile(temp.file("tmp.png"), platform::FileAccess::ReadWrite, platform::FileShare::None);
  ASSERT_NE(file, platform::kInvalidFile);
  platform::seekFile(file, 0, platform::SeekOrigin::End);
  Bytes png{1, 2};
  EXPECT_TRUE(readBackPng(file, png));
  EXPECT_EQ(png, d.png);
  platform::closeFile(file);
  Bytes kept{1, 2};
  EXPECT_FALSE(readBackPng(platform::kInvalidFile, kept));
  EXPECT_EQ(kept, (Bytes{1, 2}));
}

}  // namespace
}  // namespace icofmt::save
