#include <gtest/gtest.h>

#include <random>

#include "base/byte_reader.h"
#include "base/errors.h"
#include "base/stream.h"
#include "pixels/bmp_codec.h"
#include "pixels/palettes.h"
#include "test_util.h"

namespace icofmt {
namespace {

TBitmap randomBitmap(PixelFormat f, int w, int h, uint32_t seed) {
  std::mt19937 rng(seed);
  TBitmap b;
  SetupBitmap(b, w, h, f);
  if (f == PixelFormat::Bits8) {
    ColourList pal;
    for (int i = 0; i < 200; ++i) pal.push_back(rng() & 0xFFFFFF);
    ApplyPalette(b, pal);
  }
  for (size_t i = 0; i < b.ByteSize(); ++i) b.Data()[i] = static_cast<uint8_t>(rng());
  // Keep indices within the palette and padding zero, as a real bitmap has.
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (b.Paletted()) b.SetIndex(x, y, b.GetIndex(x, y) % static_cast<int>(b.Palette().size()));
  return b;
}

TEST(Bmp, RoundTripsEveryFormat) {
  for (PixelFormat f : {PixelFormat::Bits1, PixelFormat::Bits4, PixelFormat::Bits8, PixelFormat::Bits15,
                        PixelFormat::Bits16, PixelFormat::Bits24, PixelFormat::Bits32}) {
    for (int w : {1, 3, 7, 17}) {
      SCOPED_TRACE(static_cast<int>(f) * 100 + w);
      TBitmap src = randomBitmap(f, w, 5, static_cast<uint32_t>(w));
      TMemoryStream s;
      src.SaveToStream(s);
      s.SetPosition(0);
      TBitmap back;
      back.LoadFromStream(s);
      EXPECT_EQ(s.Position(), s.Size());
      ASSERT_EQ(back.Format(), f);
      EXPECT_EQ(back.Palette(), src.Palette());
      for (int y = 0; y < 5; ++y)
        for (int x = 0; x < w; ++x) {
          EXPECT_EQ(back.GetPixel(x, y), src.GetPixel(x, y));
          if (f == PixelFormat::Bits32) {
            EXPECT_EQ(test::alphaAt(back, x, y), test::alphaAt(src, x, y));
          }
        }
    }
  }
}

std::vector<uint8_t> header(uint32_t headerSize, int32_t w, int32_t h, uint16_t bits, uint32_t compression,
                            uint32_t imageSize, uint32_t offBits, uint32_t coloursUsed = 0) {
  std::vector<uint8_t> b(14 + std::max<uint32_t>(headerSize, 12), 0);
  b[0] = 'B';
  b[1] = 'M';
  storeU32le(&b[10], offBits);
  storeU32le(&b[14], headerSize);
  if (headerSize == 12) {
    storeU16le(&b[18], static_cast<uint16_t>(w));
    storeU16le(&b[20], static_cast<uint16_t>(h));
    storeU16le(&b[22], 1);
    storeU16le(&b[24], bits);
    return b;
  }
  storeU32le(&b[18], static_cast<uint32_t>(w));
  storeU32le(&b[22], static_cast<uint32_t>(h));
  storeU16le(&b[26], 1);
  storeU16le(&b[28], bits);
  storeU32le(&b[30], compression);
  storeU32le(&b[34], imageSize);
  storeU32le(&b[46], coloursUsed);
  return b;
}

TEST(Bmp, Fix32SavesTheFixedLayout) {
  TBitmapFix32 b;
  SetupBitmap32(b, 16, 16, 0x80123456);
  test::put32(b, 0, 15, 0xABCDEF, 7);
  TMemoryStream s;
  b.SaveToStream(s);
  const auto& bytes = s.Bytes();
  ASSERT_EQ(bytes.size(), 1078u);
  EXPECT_EQ(loadU32le(&bytes[2]), 1078u);
  EXPECT_EQ(loadU32le(&bytes[10]), 54u);
  EXPECT_EQ(loadU32le(&bytes[14]), 40u);
  EXPECT_EQ(loadU32le(&bytes[22]), 16u);
  EXPECT_EQ(loadU16le(&bytes[28]), 32u);
  EXPECT_EQ(loadU32le(&bytes[30]), 0u);
  EXPECT_EQ(loadU32le(&bytes[34]), 1024u);
  // Bottom row first: its first pixel is the one written at (0, 15).
  EXPECT_EQ(bytes[54], 0xAB);  // blue first
  EXPECT_EQ(bytes[57], 7);
}

TEST(Bmp, Fix32RepairsAllZeroAlphaOnly) {
  TBitmap zero = test::make32(3, 2, 0x00102030);
  TMemoryStream s;
  WriteBmp(zero, s);
  s.SetPosition(0);
  TBitmapFix32 b;
  b.LoadFromStream(s);
  EXPECT_EQ(test::alphaAt(b, 2, 1), 255);
  EXPECT_EQ(b.GetPixel(2, 1), 0x302010u);

  test::put32(zero, 1, 1, 0x102030, 1);
  TMemoryStream s2;
  WriteBmp(zero, s2);
  s2.SetPosition(0);
  b.LoadFromStream(s2);
  EXPECT_EQ(test::alphaAt(b, 1, 1), 1);
  EXPECT_EQ(test::alphaAt(b, 0, 0), 0);
}

TEST(Bmp, Fix32TrimsDeclaredExcessAndStopsAtItsEnd) {
  auto bytes = header(40, 2, 2, 32, 0, 16 + 24, 54);
  for (int i = 0; i < 16; ++i) bytes.push_back(static_cast<uint8_t>(i | 0x80));
  bytes.resize(bytes.size() + 24, 0xEE);  // declared excess
  bytes.resize(bytes.size() + 10, 0x11);  // what follows the bitmap
  storeU32le(&bytes[2], static_cast<uint32_t>(bytes.size()));
  TMemoryStream s(bytes);
  TBitmapFix32 b;
  b.LoadFromStream(s);
  EXPECT_EQ(b.Width(), 2);
  EXPECT_EQ(b.Height(), 2);
  EXPECT_EQ(s.Position(), 54 + 16 + 24);
  EXPECT_EQ(b.Data()[0], 0x80);
}

TEST(Bmp, ReadsCoreV5TopDownAndBitFields) {
  // Core header, 24 bits, one pixel.
  auto core = header(12, 1, 1, 24, 0, 0, 26);
  core.insert(core.end(), {0x01, 0x02, 0x03, 0x00});
  TMemoryStream s(core);
  TBitmap b;
  ReadBmp(s, b);
  EXPECT_EQ(b.GetPixel(0, 0), 0x010203u);

  // V5 header, top-down, 32-bit bit fields with alpha in the low byte.
  auto v5 = header(124, 1, -2, 32, 3, 8, 14 + 124);
  storeU32le(&v5[14 + 40], 0xFF000000);  // red
  storeU32le(&v5[14 + 44], 0x00FF0000);  // green
  storeU32le(&v5[14 + 48], 0x0000FF00);  // blue
  storeU32le(&v5[14 + 52], 0x000000FF);  // alpha
  for (uint32_t v : {0x11223344u, 0x55667788u}) {
    v5.resize(v5.size() + 4);
    storeU32le(&v5[v5.size() - 4], v);
  }
  TMemoryStream s5(v5);
  ReadBmp(s5, b);
  ASSERT_EQ(b.Format(), PixelFormat::Bits32);
  EXPECT_EQ(b.GetPixel(0, 0), makeColour(0x11, 0x22, 0x33));  // first row in the file is the top row
  EXPECT_EQ(test::alphaAt(b, 0, 0), 0x44);

  // 16-bit 5-6-5 through an info header with masks after it.
  auto h565 = header(40, 1, 1, 16, 3, 4, 66);
  for (uint32_t m : {0xF800u, 0x07E0u, 0x001Fu}) {
    h565.resize(h565.size() + 4);
    storeU32le(&h565[h565.size() - 4], m);
  }
  h565.insert(h565.end(), {0x1F, 0x00, 0x00, 0x00});
  TMemoryStream s16(h565);
  ReadBmp(s16, b);
  EXPECT_EQ(b.Format(), PixelFormat::Bits16);
  EXPECT_EQ(b.GetPixel(0, 0), makeColour(0, 0, 255));
}

TEST(Bmp, MalformedStreamsAreRejected) {
  auto reject = [](std::vector<uint8_t> bytes) {
    TMemoryStream s(bytes);
    TBitmapFix32 b;
    SetupBitmap32(b, 1, 1, 0xFF010203);
    EXPECT_THROW(b.LoadFromStream(s), InvalidBitmap);
    EXPECT_EQ(b.Width(), 1);  // unchanged
    TMemoryStream s2(bytes);
    EXPECT_THROW(ReadBmp(s2, b), InvalidBitmap);
  };
  auto good = header(40, 2, 2, 24, 0, 0, 54);
  good.resize(good.size() + 16, 0);
  {
    TMemoryStream s(good);
    TBitmap b;
    EXPECT_NO_THROW(ReadBmp(s, b));
  }
  reject({});
  reject({'B', 'M'});
  auto bad = good;
  bad[0] = 'X';
  reject(bad);
  for (uint32_t size : {0u, 13u, 39u, 1000u}) {
    bad = good;
    storeU32le(&bad[14], size);
    reject(bad);
  }
  for (size_t cut = 1; cut < good.size(); ++cut)
    reject(std::vector<uint8_t>(good.begin(), good.end() - static_cast<long>(cut)));
  bad = good;
  storeU32le(&bad[22], 0x80000000);  // INT_MIN height
  reject(bad);
  bad = good;
  storeU32le(&bad[18], 0xFFFFFFFF);  // negative width
  reject(bad);
  bad = good;
  storeU16le(&bad[28], 7);
  reject(bad);
  bad = good;
  storeU32le(&bad[30], 1);  // RLE
  reject(bad);
  bad = good;
  storeU32le(&bad[10], 0xFFFFFFF0);  // pixel offset past the end
  reject(bad);
  auto pal = header(40, 1, 1, 8, 0, 0, 0, 0x40000000);  // colour table past the end
  pal.resize(pal.size() + 64, 0);
  reject(pal);
}

}  // namespace
}  // namespace icofmt
