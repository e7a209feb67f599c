#include "save/source_image.h"

#include <gtest/gtest.h>

#include <memory>

#include "pixels/png_image.h"

namespace icofmt::save {
namespace {

using Bytes = std::vector<std::uint8_t>;

void setEntry(ColourTables& t, int i, Colour c) {
  t.red[i] = static_cast<std::uint8_t>(redOf(c));
  t.green[i] = static_cast<std::uint8_t>(greenOf(c));
  t.blue[i] = static_cast<std::uint8_t>(blueOf(c));
}

// Sample k of pixel (x, y) of a host document: RGBA, an index of 0..5, grey
// and alpha, or a Bitmap byte of row y (set bit black).
std::uint8_t sample(std::uint8_t mode, int x, int y, int k) {
  const int rgba[4] = {x * 30, y * 40, x + y + 1, (x + y) % 3 == 0 ? 0 : 1 + x * 20 + y};
  const int grey[2] = {20 * x + y, 37 * (x + y)};
  const int v = mode == kModeRgb       ? rgba[k]
                : mode == kModeIndexed ? (3 * x + y) % 6
                : mode == kModeGray    ? grey[k]
                                       : 0x5A ^ (17 * y + x);
  return static_cast<std::uint8_t>(v);
}
constexpr std::uint8_t kIndexAlpha[6] = {255, 255, 79, 80, 255, 0};  // in the PNG's transparency chunk

struct Document {
  HostImage image;
  Bytes pixels, png;
  ColourTables tables;
};

// A document as the reference host sends it, and the PNG the carried module writes of it.
Document makeDocument(std::uint8_t mode, int w, int h) {
  Document d{{mode, w, h, mode == kModeRgb ? 4 : mode == kModeGray ? 2 : 1}, {}, {}, {}};
  PngImage png;
  png.Create(w, h, mode == kModeIndexed ? PngColourType::Palette : PngColourType::GreyAlpha);
  ColourList palette;
  for (int i = 0; i < 256; ++i) {
    setEntry(d.tables, i,
             mode == kModeIndexed ? makeColour(40 * i, 255 - 30 * i, 7 * i) : makeColour(i, i, i));
    palette.push_back(makeColour(d.tables.red[i], d.tables.green[i], d.tables.blue[i]));
  }
  png.SetPalette(palette);
  png.SetTransparency(Bytes(kIndexAlpha, kIndexAlpha + 6));
  const int perRow = mode == kModeBitmap ? (w + 7) / 8 : w;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < perRow; ++x)
      for (int k = 0; k < d.image.planes; ++k) {
        d.pixels.push_back(sample(mode, x, y, k));
        if (mode == kModeIndexed || mode == kModeGray) png.Row(y)[x * d.image.planes + k] = d.pixels.back();
      }
  d.png = png.Encode();
  return d;
}

bool masked(const TBitmap& mask, int x, int y) { return mask.GetIndex(x, y) == 1; }

TEST(SourceImageTest, EveryModeBuildsTheDocumentItWasSent) {
  const int w = 11, h = 5, depths[] = {1, 8, 8, 32};
  for (std::uint8_t mode : {kModeBitmap, kModeGray, kModeIndexed, kModeRgb}) {
    SCOPED_TRACE(int{mode});
    const Document d = makeDocument(mode, w, h);
    TBitmapFix32 source;
    TBitmap mask;
    int depth = 0;
    ASSERT_EQ(buildSourceImage({d.image, d.pixels, &d.tables, d.png}, source, mask, depth), 0);
    EXPECT_EQ(depth, depths[mode]);
    ASSERT_TRUE(source.Width() == w && source.Height() == h && mask.Width() == w && mask.Height() == h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const std::uint8_t s0 = sample(mode, x, y, 0), s1 = sample(mode, x, y, 1);
        if (mode == kModeRgb) {
          const std::uint8_t* p = source.ScanLine(y) + 4 * x;
          EXPECT_EQ((Bytes{p[2], p[1], p[0], p[3]}),
                    (Bytes{s0, s1, sample(mode, x, y, 2), sample(mode, x, y, 3)}));
          EXPECT_EQ(masked(mask, x, y), sample(mode, x, y, 3) == 0);
        } else if (mode == kModeBitmap) {
          const bool hostBlack = (sample(mode, x / 8, y, 0) >> (7 - x % 8)) & 1;
          EXPECT_EQ(source.GetIndex(x, y), hostBlack ? 0 : 1);
          EXPECT_FALSE(masked(mask, x, y));
        } else {
          EXPECT_EQ(source.GetIndex(x, y), s0);
          EXPECT_EQ(masked(mask, x, y), (mode == kModeGray ? s1 : kIndexAlpha[s0]) < 80) << x << "," << y;
        }
      }
    if (mode == kModeGray || mode == kModeIndexed) {
      EXPECT_EQ(source.Palette()[5], makeColour(d.tables.red[5], d.tables.green[5], d.tables.blue[5]));
    }

    // One byte short or long, no planes, no pixels: refused. The RGB and bit
    // builders propose their depth before they look.
    Bytes shorter(d.pixels.begin(), d.pixels.end() - 1), longer = d.pixels;
    longer.push_back(0);
    for (auto [image, capture] :
         {std::pair{d.image, shorter}, std::pair{d.image, longer},
          std::pair{HostImage{mode, w, h, 0}, Bytes{}}, std::pair{HostImage{mode, 0, h, 1}, Bytes{}}}) {
      depth = 99;
      EXPECT_EQ(buildSourceImage({image, capture, &d.tables, d.png}, source, mask, depth), -1);
      EXPECT_EQ(depth, mode == kModeRgb || mode == kModeBitmap ? depths[mode] : 99);
    }
  }
}

TEST(SourceImageTest, RgbAlphaComesFromTheFourthPlaneOnly) {
  struct Case {
    int planes;
    Bytes capture, expected;  // R, G, B, A of both pixels
  } const cases[] = {
      {4, {10, 20, 30, 0, 40, 50, 60, 255}, {10, 20, 30, 0, 40, 50, 60, 255}},
      {4, {10, 20, 30, 1, 40, 50, 60, 1}, {10, 20, 30, 1, 40, 50, 60, 1}},
      // No transparency plane: opaque, and never a byte past the capture.
      {3, {10, 20, 30, 40, 50, 60}, {10, 20, 30, 255, 40, 50, 60, 255}},
      {2, {10, 20, 30, 40}, {}},
  };
  for (const Case& c : cases) {
    const auto exact = std::make_unique<std::uint8_t[]>(c.capture.size());
    std::copy(c.capture.begin(), c.capture.end(), exact.get());
    TBitmapFix32 source;
    TBitmap mask;
    int depth = 0;
    const int result =
        buildRgbSource({kModeRgb, 2, 1, c.planes}, {exact.get(), c.capture.size()}, source, mask, depth);
    ASSERT_EQ(result, c.expected.empty() ? -1 : 0) << c.planes;
    if (result != 0) continue;
    const std::uint8_t* p = source.ScanLine(0);
    EXPECT_EQ((Bytes{p[2], p[1], p[0], p[3], p[6], p[5], p[4], p[7]}), c.expected);
    EXPECT_EQ(masked(mask, 0, 0), c.expected[3] == 0);
    EXPECT_FALSE(masked(mask, 1, 0));
  }
}

TEST(SourceImageTest, ProposedDepthFollowsTheColoursUsed) {
  const Colour red = makeColour(255, 0, 0), silver = makeColour(192, 192, 192),
               grey50 = makeColour(50, 50, 50);
  struct Case {
    std::vector<std::pair<int, Colour>> entries;
    Bytes pixels;
    int depth;
    Bytes distinct;
    std::uint8_t mode = kModeIndexed;
    Colour fill = kBlack;  // every other entry
  } const cases[] = {
      {{{0, kBlack}, {1, kWhite}}, {1, 0, 1}, 1, {1, 0}},
      {{{0, red}, {1, silver}, {2, kWhite}}, {0, 1, 2}, 4, {0, 1, 2}},
      {{{0, red}, {1, silver}, {2, kWhite}, {3, makeColour(200, 0, 0)}}, {0, 1, 2, 3}, 8, {0, 1, 2, 3}},
      {{{0, kBlack}}, {0, 0}, 4, {0}},
      {{{0, kBlack}, {7, makeColour(3, 2, 4)}, {1, kWhite}}, {0, 7, 1}, 1, {0, 1}},
      {{{4, makeColour(4, 4, 4)}, {9, kBlack}, {1, kWhite}}, {4, 1, 9}, 1, {9, 1}, kModeIndexed, grey50},
      {{{0, makeColour(3, 3, 3)}, {1, kWhite}}, {0, 1}, 8, {255, 1}, kModeIndexed, makeColour(9, 9, 9)},
      {{{5, kWhite}, {3, kBlack}}, {5, 3, 5, 0}, 8, {5, 3, 0}, kModeIndexed, grey50},
      {{{0, kBlack}, {1, kWhite}}, {0, 1}, 8, {0, 1}, kModeGray},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    ColourTables tables;
    for (int e = 0; e < 256; ++e) setEntry(tables, e, c.fill);
    for (const auto& [e, colour] : c.entries) setEntry(tables, e, colour);
    const int w = static_cast<int>(c.pixels.size());
    PngImage png;
    png.Create(w, 1, PngColourType::Grey);
    TBitmapFix32 source;
    TBitmap mask;
    TListByte distinct;
    int depth = 0;
    ASSERT_EQ(
        buildPaletteSource({c.mode, w, 1, 1}, c.pixels, tables, png.Encode(), source, mask, distinct, depth),
        0);
    EXPECT_EQ(depth, c.depth) << "case " << i;
    EXPECT_EQ(Bytes(distinct.Values().begin(), distinct.Values().end()), c.distinct) << "case " << i;
  }
}

TEST(SourceImageTest, PngThatIsNotTheImageIsRefused) {
  const Document d = makeDocument(kModeIndexed, 6, 3);
  Bytes truncated(d.png.begin(), d.png.end() - 20), corrupt = d.png;
  corrupt[40] ^= 0xFF;
  for (const Bytes& png : {Bytes{}, makeDocument(kModeIndexed, 7, 3).png, truncated, corrupt}) {
    TBitmapFix32 source;
    TBitmap mask;
    int depth = 99;
    EXPECT_EQ(buildSourceImage({d.image, d.pixels, &d.tables, png}, source, mask, depth), -1);
    EXPECT_EQ(depth, 99);
  }
  Bytes kept{1};
  EXPECT_FALSE(readBackPng(platform::kInvalidFile, kept));
  EXPECT_EQ(kept, Bytes{1});
}

}  // namespace
}  // namespace icofmt::save
