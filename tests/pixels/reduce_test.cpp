#include "pixels/reduce.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "pixels/nearest.h"
#include "test_util.h"

namespace icofmt {
namespace {

using test::make32;
using test::put32;

// The reduction written out literally, step by step, with linear lists and
// repeated histogram sweeps: the fast one must give the same bytes.
struct Reference {
  static bool has(const ColourList& l, Colour c) { return std::find(l.begin(), l.end(), c) != l.end(); }
  static void addAbsent(ColourList& l, Colour c) {
    if (!has(l, c)) l.push_back(c);
  }

  static ColourList palette(const TBitmap& s, bool seed, int t, int maxColours) {
    const size_t C = static_cast<size_t>(std::min(maxColours, 256));
    const bool is32 = s.Format() == PixelFormat::Bits32;
    auto eligible = [&](int x, int y) { return !is32 || s.ScanLine(y)[4 * x + 3] >= t; };
    auto colour = [&](int x, int y) { return s.GetPixel(x, y); };
    ColourList p;
    if (seed) p = {kBlack, kWhite};
    if (p.size() > C) p.resize(C);
    if (p.size() == C) return p;
    if (eligible(0, s.Height() - 1)) addAbsent(p, colour(0, s.Height() - 1));
    const size_t L = p.size();
    ColourList l7 = p, l6 = p, l5 = p;
    bool stop = false;
    for (int y = 0; y < s.Height() && !stop; ++y)
      for (int x = 0; x < s.Width() && !stop; ++x) {
        if (!eligible(x, y)) continue;
        Colour c = colour(x, y);
        if (p.size() <= C) addAbsent(p, c);
        if (l7.size() <= C) addAbsent(l7, c & 0xFEFEFE);
        if (l6.size() <= C) addAbsent(l6, c & 0xFCFCFC);
        if (!has(l5, c & 0xF8F8F8)) {
          l5.push_back(c & 0xF8F8F8);
          if (l5.size() > C) stop = true;
        }
      }
    bool toFill = p.size() <= C;
    if (!toFill) {
      ColourList* lists[] = {&p, &l7, &l6, &l5};
      for (int k = 1; k <= 3 && !toFill; ++k)
        if (lists[k]->size() <= C) {
          if (lists[k]->size() < C)
            for (Colour c : *lists[k - 1]) addAbsent(*lists[k], c);
          lists[k]->resize(std::min(lists[k]->size(), C));
          p = *lists[k];
          toFill = true;
        }
    }
    if (!toFill) {
      p.resize(L);
      std::vector<int> hist(33 * 33 * 33, 0);
      for (int y = 0; y < s.Height(); ++y)
        for (int x = 0; x < s.Width(); ++x) {
          Colour c = colour(x, y);
          int cell = ((redOf(c) + 4) / 8) * 1089 + ((greenOf(c) + 4) / 8) * 33 + (blueOf(c) + 4) / 8;
          hist[static_cast<size_t>(cell)] = std::min(255, hist[static_cast<size_t>(cell)] + 1);
        }
      auto lc = [](int l) { return l == 32 ? 255u : static_cast<uint32_t>(l * 8); };
      for (int e : {8, 4, 2, 1}) {
        int f = 255;
        for (;;) {
          int h = 0;
          for (int r = 0; r <= 32; r += e)
            for (int g = 0; g <= 32; g += e)
              for (int b = 0; b <= 32; b += e) {
                int& n = hist[static_cast<size_t>(r * 1089 + g * 33 + b)];
                if (n < f) {
                  h = std::max(h, n);
                  continue;
                }
                n = 0;
                addAbsent(p, makeColour(lc(r), lc(g), lc(b)));
                if (p.size() == C) return p;
              }
          if (h == 0) break;
          f = h;
        }
      }
    }
    for (int y = 0; y < s.Height() && p.size() < C; ++y)
      for (int x = 0; x < s.Width() && p.size() < C; ++x)
        if (eligible(x, y)) addAbsent(p, colour(x, y));
    if (is32 && p.empty()) p.push_back(kBlack);
    if (p.size() > C) p.resize(C);
    return p;
  }

  static int map(const ColourList& pal, Colour c) {
    uint32_t best = 49744125;
    int index = 0;
    for (size_t i = 0; i < pal.size(); ++i) {
      uint32_t d = squaredDistance(pal[i], c);
      if (d < best) {
        best = d;
        index = static_cast<int>(i);
        if (d == 0) break;
      }
    }
    return index;
  }
};

void expectSameAsReference(const TBitmap& src, bool seed, int t, int c) {
  TBitmap out;
  ReduceTo8Bit(src, out, seed, t, c);
  ColourList expected = Reference::palette(src, seed, t, c);
  ASSERT_EQ(out.Palette(), expected);
  for (int y = 0; y < src.Height(); ++y)
    for (int x = 0; x < src.Width(); ++x) {
      int want = src.Format() == PixelFormat::Bits32 && test::alphaAt(src, x, y) < t
                     ? 0
                     : Reference::map(expected, src.GetPixel(x, y));
      ASSERT_EQ(out.GetIndex(x, y), want) << x << "," << y;
    }
}

TEST(ReduceTo8Bit, MatchesTheLiteralAlgorithmOnRandomImages) {
  // Full colour (histogram), 7-, 6- and 5-bit lists, few colours, half transparent.
  expectSameAsReference(test::random32(64, 64, 1), true, 80, 256);
  expectSameAsReference(test::random32(48, 40, 2, 0xE0E0E0), true, 80, 256);
  expectSameAsReference(test::random32(20, 20, 3, 0xC0C0C0), true, 80, 256);
  expectSameAsReference(test::random32(40, 40, 4, 0x030303 | 0xC0C0C0), false, 80, 256);
  expectSameAsReference(test::random32(50, 50, 5, 0xFFFFFF, 1), true, 80, 256);
  expectSameAsReference(test::random32(33, 17, 6, 0x0F0F0F, 1), true, 128, 255);
  expectSameAsReference(test::random32(30, 30, 7), true, 80, 16);
  expectSameAsReference(test::random32(30, 30, 8, 0x070707), false, 80, 300);
  // Photograph-like: smooth gradients with noise.
  TBitmap photo = make32(96, 96);
  std::mt19937 rng(9);
  for (int y = 0; y < 96; ++y)
    for (int x = 0; x < 96; ++x)
      put32(photo, x, y,
            makeColour((x * 2 + rng() % 16) & 255, (y * 2 + rng() % 16) & 255, (x + y + rng() % 8) & 255),
            255);
  expectSameAsReference(photo, true, 80, 256);
  TBitmap as24 = ToBits24(photo);
  expectSameAsReference(as24, true, 80, 256);
}

TEST(ReduceTo8Bit, TwoHundredColoursComeInScanOrderAfterSeedsAndBottomLeft) {
  TBitmap src = make32(20, 11);
  Colour n = 0;
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x) put32(src, x, y, 0x100000 + (n++) * 3, 255);
  for (int x = 0; x < 20; ++x) put32(src, x, 10, 0x123456, x == 0 ? 255 : 10);
  TBitmap out;
  ReduceTo8Bit(src, out, true, 80, 256);
  const ColourList& p = out.Palette();
  ASSERT_EQ(p.size(), 201u + 2);
  EXPECT_EQ(p[0], kBlack);
  EXPECT_EQ(p[1], kWhite);
  EXPECT_EQ(p[2], 0x123456u);  // bottom-left pixel
  EXPECT_EQ(p[3], 0x100000u);
  EXPECT_EQ(p[202], 0x100000u + 199 * 3);
  EXPECT_EQ(out.GetIndex(5, 0), 8);
  EXPECT_EQ(out.GetIndex(1, 10), 0);  // alpha 10
  EXPECT_EQ(out.GetIndex(0, 10), 2);
}

TEST(ReduceTo8Bit, SevenBitListWhenFullPrecisionOverflows) {
  // 300 colours that collapse to 150 once the low bit is cleared.
  TBitmap src = make32(300, 1);
  for (int x = 0; x < 300; ++x)
    put32(src, x, 0, makeColour(static_cast<uint32_t>(x / 2) * 2 % 256, x >= 256 ? 2 : 0, 40) | (x & 1), 255);
  TBitmap out;
  ReduceTo8Bit(src, out, true, 80, 256);
  const ColourList& p = out.Palette();
  ASSERT_EQ(p.size(), 256u);
  EXPECT_EQ(p[0], kBlack);
  EXPECT_EQ(p[1], kWhite);
  EXPECT_EQ(p[2], src.GetPixel(0, 0));
  for (size_t i = 3; i < 150; ++i) EXPECT_EQ(p[i] & 0x010101, 0u) << i;
  expectSameAsReference(src, true, 80, 256);
}

TEST(ReduceTo8Bit, HistogramLevelsAndCoarseCellsFirst) {
  // Far more than 256 colours at 5 bits; the most common colour falls in
  // level (0, 0, 32) by values 3 and 252, so its cell colour is 0xFF0000.
  TBitmap src = test::random32(64, 64, 11);
  std::mt19937 rng(12);
  const uint32_t grid[] = {0, 64, 128, 192, 255};
  for (int y = 32; y < 64; ++y)
    for (int x = 0; x < 64; x += 2)
      put32(src, x, y, makeColour(grid[rng() % 5], grid[rng() % 5], grid[rng() % 5]), 255);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 64; ++x) put32(src, x, y, makeColour(3, 3, 252), 255);
  put32(src, 0, 63, makeColour(10, 20, 30), 255);
  TBitmap out;
  ReduceTo8Bit(src, out, true, 80, 256);
  const ColourList& p = out.Palette();
  EXPECT_EQ(p[2], makeColour(10, 20, 30));
  EXPECT_EQ(p[3], makeColour(0, 0, 255));
  // The next ones come from the coarse grid: channels of 0, 64, 128, 192, 255.
  for (size_t i = 4; i < 20; ++i)
    for (uint32_t v : {redOf(p[i]), greenOf(p[i]), blueOf(p[i])})
      EXPECT_TRUE(v == 0 || v == 64 || v == 128 || v == 192 || v == 255) << i;
  EXPECT_EQ(out.GetIndex(0, 0), 3);
  expectSameAsReference(src, true, 80, 256);
}

TEST(ReduceTo8Bit, EmptyAndUnseededEdges) {
  TBitmap out;
  ReduceTo8Bit(make32(0, 5), out, true, 80, 256);
  EXPECT_EQ(out.Format(), PixelFormat::Bits8);
  EXPECT_TRUE(out.Empty());
  TBitmap clear = make32(3, 3, 0x00FFFFFF);
  ReduceTo8Bit(clear, out, false, 80, 256);
  EXPECT_EQ(out.Palette(), ColourList{kBlack});
  ReduceTo8Bit(test::random32(8, 8, 3), out, true, 80, 2);
  EXPECT_EQ(out.Palette(), (ColourList{kBlack, kWhite}));
}

TEST(ReduceTo8Bit, TiesGoToTheLowerIndex) {
  // Nine colours for eight entries, so the palette is the 7-bit list: black,
  // white, the bottom-left colour, then the cleared colours in scan order.
  // The odd pixel t is 2 away from both a (entry 3) and its own cleared
  // colour (entry 7).
  const Colour x = makeColour(0, 0x80, 0), a = makeColour(0x22, 0x42, 0x40), t = makeColour(0x21, 0x41, 0x40);
  const Colour pixels[] = {x,
                           a,
                           makeColour(0x80, 0, 0x80),
                           makeColour(0, 0, 0x80),
                           makeColour(0x80, 0x80, 0),
                           t,
                           makeColour(0x23, 0x43, 0x41)};
  TBitmap src = make32(7, 1);
  for (int i = 0; i < 7; ++i) put32(src, i, 0, pixels[i], 255);
  TBitmap out;
  ReduceTo8Bit(src, out, true, 80, 8);
  ASSERT_EQ(out.Palette().size(), 8u);
  EXPECT_EQ(out.Palette()[3], a);
  EXPECT_EQ(out.Palette()[7], makeColour(0x20, 0x40, 0x40));
  EXPECT_EQ(out.GetIndex(5, 0), 3);
  expectSameAsReference(src, true, 80, 8);
}

}  // namespace
}  // namespace icofmt

namespace icofmt {
namespace {

TEST(NearestMapper, AgreesWithTheLinearSearchIncludingTies) {
  std::mt19937 rng(5);
  for (int round = 0; round < 20; ++round) {
    ColourList pal;
    const int n = 1 + static_cast<int>(rng() % 256);
    // Coarse values make equal distances and duplicate entries common.
    for (int i = 0; i < n; ++i) pal.push_back((rng() & 0xC0C0C0) | (round % 2 ? rng() & 0x0F0F0F : 0));
    NearestMapper mapper(pal);
    for (int k = 0; k < 5000; ++k) {
      Colour c = rng() & 0xFFFFFF;
      ASSERT_EQ(mapper.Map(c), NearestIndex(pal, c)) << round << " " << c;
    }
  }
}

}  // namespace
}  // namespace icofmt
