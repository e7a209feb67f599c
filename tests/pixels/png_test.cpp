#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <filesystem>
#include <optional>
#include <random>

#include "base/errors.h"
#include "base/stream.h"
#include "pixels/png_image.h"
#include "pixels/png_inflate.h"
#include "pixels/reduce.h"
#include "pngsuite_reference.h"
#include "support/temp_folder.h"
#include "test_util.h"

namespace icofmt {
namespace {

namespace fs = std::filesystem;

TEST(Png, EncodesAndDecodesEveryWritableKind) {
  std::mt19937 rng(3);
  TBitmap rgba = test::random32(13, 7, 1, 0xFFFFFF, 1);
  PngImage png = PngImage::FromBitmap(rgba);
  PngImage back;
  back.LoadFromMemory(png.Encode());
  EXPECT_EQ(back.ColourType(), PngColourType::Rgba);
  TBitmap decoded = back.ToBitmap();
  ASSERT_EQ(decoded.Format(), PixelFormat::Bits32);
  EXPECT_EQ(std::vector<uint8_t>(decoded.Data(), decoded.Data() + decoded.ByteSize()),
            std::vector<uint8_t>(rgba.Data(), rgba.Data() + rgba.ByteSize()));

  TBitmap rgb = ToBits24(rgba);
  back.LoadFromMemory(PngImage::FromBitmap(rgb).Encode(9));
  EXPECT_EQ(back.ColourType(), PngColourType::Rgb);
  EXPECT_TRUE(SameImage(back.ToBitmap(), rgb));

  for (PixelFormat f : {PixelFormat::Bits1, PixelFormat::Bits4, PixelFormat::Bits8}) {
    TBitmap pal;
    ReduceTo8Bit(rgba, pal, true, 0, f == PixelFormat::Bits1 ? 2 : f == PixelFormat::Bits4 ? 16 : 256);
    TBitmap narrow;
    SetupBitmap(narrow, pal.Width(), pal.Height(), f);
    narrow.SetPalette(pal.Palette());
    for (int y = 0; y < pal.Height(); ++y)
      for (int x = 0; x < pal.Width(); ++x) narrow.SetIndex(x, y, pal.GetIndex(x, y));
    PngImage p = PngImage::FromBitmap(narrow);
    p.SetTransparency({0, 128});
    TMemoryStream s;
    p.SaveToStream(s);
    s.SetPosition(0);
    back.LoadFromStream(s);
    EXPECT_EQ(back.ColourType(), PngColourType::Palette);
    EXPECT_EQ(back.BitDepth(), BitsPerPixel(f));
    EXPECT_EQ(back.Transparency(), (std::vector<uint8_t>{0, 128}));
    for (int y = 0; y < pal.Height(); ++y)
      for (int x = 0; x < pal.Width(); ++x) ASSERT_EQ(back.Row(y)[x], pal.GetIndex(x, y));
  }
}

// The kept encoding (our filters, libdeflate) decodes through libpng to
// exactly the samples zlib's encoding gives, for every kind we write and for
// widths that end inside a byte, and stays within 5 % of zlib's default size
// on a drawing with flat areas and on noise.
TEST(Png, KeptEncodingDecodesLikeZlibsAndStaysAsSmall) {
  std::mt19937 rng(11);
  struct Kind {
    PngColourType type;
    int depth;
  };
  const Kind kinds[] = {{PngColourType::Grey, 1}, {PngColourType::Grey, 2},      {PngColourType::Grey, 4},
                        {PngColourType::Grey, 8}, {PngColourType::GreyAlpha, 8}, {PngColourType::Rgb, 8},
                        {PngColourType::Rgba, 8}, {PngColourType::Palette, 2},   {PngColourType::Palette, 8}};
  for (const Kind& k : kinds) {
    for (int width : {1, 7, 13, 64}) {
      PngImage png;
      png.Create(width, 9, k.type, k.depth);
      if (k.type == PngColourType::Palette) {
        png.SetPalette({0x000000, 0x0000FF, 0x00FF00, 0xFF0000});
        png.SetTransparency({0, 99});
      }
      for (int y = 0; y < png.Height(); ++y)
        for (size_t i = 0; i < png.RowLength(); ++i)
          png.Row(y)[i] = static_cast<uint8_t>(k.type == PngColourType::Palette ? rng() % 4 : rng());
      PngImage kept, zlib;
      kept.LoadFromMemory(png.Encode());
      zlib.LoadFromMemory(png.Encode(6));
      ASSERT_EQ(kept.ColourType(), zlib.ColourType());
      ASSERT_EQ(kept.BitDepth(), zlib.BitDepth());
      ASSERT_EQ(kept.Transparency(), zlib.Transparency());
      for (int y = 0; y < png.Height(); ++y)
        ASSERT_EQ(0, std::memcmp(kept.Row(y), zlib.Row(y), png.RowLength()))
            << "type " << static_cast<int>(k.type) << " depth " << k.depth << " width " << width;
    }
  }

  PngImage drawing, noise;
  drawing.Create(256, 256, PngColourType::Rgba);
  noise.Create(256, 256, PngColourType::Rgba);
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) {
      uint8_t* d = drawing.Row(y) + 4 * x;
      const bool inside = (x - 128) * (x - 128) + (y - 128) * (y - 128) < 100 * 100;
      d[0] = static_cast<uint8_t>(inside ? (x / 32) * 30 : 0);
      d[1] = static_cast<uint8_t>(inside ? (y / 16) * 15 : 0);
      d[2] = static_cast<uint8_t>(inside ? 200 : 0);
      d[3] = inside ? 255 : 0;
      uint8_t* n = noise.Row(y) + 4 * x;
      n[0] = static_cast<uint8_t>(x + rng() % 16);
      n[1] = static_cast<uint8_t>(y + rng() % 16);
      n[2] = static_cast<uint8_t>(rng() % 8);
      n[3] = 255;
    }
  for (const PngImage* p : {&drawing, &noise}) {
    const size_t ours = p->Encode().size(), zlibs = p->Encode(6).size();
    EXPECT_LE(ours * 100, zlibs * 105) << ours << " bytes against zlib's " << zlibs;
  }
}

// The fast decoder (libdeflate, our unfiltering) gives libpng's samples for
// every kind it takes, whatever wrote the file (one IDAT or many, stored or
// compressed, every filter); and on image data damaged anywhere, with its
// CRC made right again, it never reads a file libpng refuses nor reads one
// otherwise: where it has doubts, libpng decides.
TEST(Png, FastDecoderAgreesWithLibpngOnSoundAndDamagedFiles) {
  std::mt19937 rng(21);
  auto same = [](const PngImage& a, const PngImage& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height() || a.Channels() != b.Channels() ||
        a.ColourType() != b.ColourType() || a.Palette() != b.Palette() ||
        a.Transparency() != b.Transparency())
      return false;
    for (int y = 0; y < a.Height(); ++y)
      if (std::memcmp(a.Row(y), b.Row(y), a.RowLength()) != 0) return false;
    return true;
  };
  std::vector<std::vector<uint8_t>> files;
  for (PngColourType type : {PngColourType::Rgba, PngColourType::Rgb, PngColourType::GreyAlpha,
                             PngColourType::Grey, PngColourType::Palette}) {
    PngImage png;
    png.Create(67, 41, type, 8);
    if (type == PngColourType::Palette) png.SetPalette({0x102030, 0x405060, 0x708090});
    for (int y = 0; y < png.Height(); ++y)
      for (size_t i = 0; i < png.RowLength(); ++i)
        png.Row(y)[i] = static_cast<uint8_t>(
            type == PngColourType::Palette ? rng() % 3 : (i * 7 + y * 3) / 5 + rng() % 4);
    files.push_back(png.Encode());
    files.push_back(png.Encode(6));  // libpng writes IDAT chunks of 8 KiB
    files.push_back(png.Encode(1));
    files.push_back(png.EncodeTemporary());
  }
  for (const auto& file : files) {
    PngImage fast, reference;
    fast.LoadFromMemory(file);
    reference.LoadFromMemory(file, PngDecoder::LibpngOnly);
    ASSERT_TRUE(same(fast, reference));
  }

  int fastRead = 0, bothRefused = 0;
  for (int round = 0; round < 1500; ++round) {
    std::vector<uint8_t> file = files[static_cast<size_t>(round) % files.size()];
    // The first IDAT chunk: after the signature and the chunks before it.
    size_t at = 8;
    while (std::memcmp(file.data() + at + 4, "IDAT", 4) != 0)
      at += 12 + ((size_t{file[at]} << 24) | (size_t{file[at + 1]} << 16) | (size_t{file[at + 2]} << 8) |
                  file[at + 3]);
    const size_t length =
        (size_t{file[at]} << 24) | (size_t{file[at + 1]} << 16) | (size_t{file[at + 2]} << 8) | file[at + 3];
    for (int k = 0, n = 1 + static_cast<int>(rng() % 3); k < n; ++k)
      file[at + 8 + rng() % length] ^= static_cast<uint8_t>(1 + rng() % 255);
    const uint32_t crc =
        static_cast<uint32_t>(::crc32(0, file.data() + at + 4, static_cast<unsigned>(length + 4)));
    for (int k = 0; k < 4; ++k) file[at + 8 + length + k] = static_cast<uint8_t>(crc >> (24 - 8 * k));
    PngImage fast, reference;
    bool fastOk = true, referenceOk = true;
    try {
      fast.LoadFromMemory(file);
    } catch (const InvalidImage&) {
      fastOk = false;
    }
    try {
      reference.LoadFromMemory(file, PngDecoder::LibpngOnly);
    } catch (const InvalidImage&) {
      referenceOk = false;
    }
    ASSERT_EQ(fastOk, referenceOk) << "round " << round;
    // The scan for visible pixels answers only for files libpng reads, and
    // answers as libpng's samples do.
    if (file[25] == 6 || file[25] == 4) {
      const int channels = file[25] == 6 ? 4 : 2;
      const std::optional<bool> visible = pnginflate::anyAlpha8(file, at + 8, 67, 41, channels);
      if (!referenceOk) {
        ASSERT_FALSE(visible.has_value()) << "round " << round;
      } else if (visible) {
        bool any = false;
        for (int y = 0; y < reference.Height(); ++y)
          for (int x = 0; x < reference.Width(); ++x)
            any = any || reference.Row(y)[channels * x + channels - 1] != 0;
        ASSERT_EQ(*visible, any) << "round " << round;
      }
    }
    if (fastOk) {
      ASSERT_TRUE(same(fast, reference)) << "round " << round;
      ++fastRead;
    } else {
      ++bothRefused;
    }
  }
  EXPECT_GT(bothRefused, 0);
  EXPECT_GT(fastRead, 0);
}

// The temporary encoding (stored, unfiltered) must decode to what the default
// one does, and neither may touch the image it encodes: RGBA rows are handed
// to libpng without a copy.
TEST(Png, TemporaryEncodingKeepsEverySampleAndLeavesTheImageAlone) {
  struct Case {
    PngColourType type;
    int bitDepth;
  };
  for (Case c : {Case{PngColourType::Rgba, 8}, Case{PngColourType::Rgb, 8}, Case{PngColourType::GreyAlpha, 8},
                 Case{PngColourType::Grey, 2}, Case{PngColourType::Palette, 4}}) {
    PngImage png;
    png.Create(19, 5, c.type, c.bitDepth);
    if (c.type == PngColourType::Palette) png.SetPalette({0x0000FF, 0x00FF00, 0xFF0000});
    std::mt19937 rng(static_cast<unsigned>(c.bitDepth) * 7 + static_cast<unsigned>(c.type));
    for (int y = 0; y < png.Height(); ++y)
      for (size_t i = 0; i < png.RowLength(); ++i) png.Row(y)[i] = static_cast<uint8_t>(rng());
    const std::vector<uint8_t> before(png.Row(0), png.Row(0) + png.RowLength() * png.Height());
    PngImage usual, temporary;
    usual.LoadFromMemory(png.Encode());
    temporary.LoadFromMemory(png.EncodeTemporary());
    EXPECT_EQ(std::vector<uint8_t>(png.Row(0), png.Row(0) + png.RowLength() * png.Height()), before);
    ASSERT_EQ(temporary.ColourType(), usual.ColourType());
    ASSERT_EQ(temporary.BitDepth(), usual.BitDepth());
    EXPECT_EQ(temporary.Palette(), usual.Palette());
    for (int y = 0; y < png.Height(); ++y)
      EXPECT_EQ(std::memcmp(temporary.Row(y), usual.Row(y), usual.RowLength()), 0)
          << static_cast<int>(c.type);
  }
}

TEST(Png, DrawBlendsStraightAlpha) {
  PngImage p;
  p.Create(2, 1, PngColourType::Rgba);
  const uint8_t px[] = {255, 0, 0, 255, 0, 0, 255, 128};
  std::memcpy(p.Row(0), px, sizeof px);
  TBitmap dst;
  SetupFilledBitmap(dst, 3, 2, PixelFormat::Bits24, kWhite);
  p.Draw(dst, 1, 1);
  EXPECT_EQ(dst.GetPixel(0, 1), kWhite);
  EXPECT_EQ(dst.GetPixel(1, 1), makeColour(255, 0, 0));
  EXPECT_EQ(dst.GetPixel(2, 1), makeColour(127, 127, 255));
  p.Draw(dst, -5, -5);  // entirely outside: nothing
}

TEST(Png, SplitPngCases) {
  // Grey with alpha: grey value as index, threshold on alpha.
  PngImage ga;
  ga.Create(3, 1, PngColourType::GreyAlpha);
  const uint8_t gpx[] = {10, 79, 20, 80, 30, 255};
  std::memcpy(ga.Row(0), gpx, sizeof gpx);
  PngImage g2;
  g2.LoadFromMemory(ga.Encode());
  TBitmap colour, mask;
  SplitPng(g2, colour, mask, 80);
  EXPECT_EQ(colour.Format(), PixelFormat::Bits8);
  EXPECT_EQ(colour.GetIndex(0, 0), 0);
  EXPECT_EQ(colour.GetIndex(1, 0), 20);
  EXPECT_EQ(mask.GetPixel(0, 0), kWhite);
  EXPECT_EQ(mask.GetPixel(1, 0), kBlack);

  // Palette without black, fewer than 256 entries: the padding black is used.
  PngImage pal;
  pal.Create(2, 1, PngColourType::Palette, 8);
  pal.SetPalette({0x0000FF, 0x00FF00});
  pal.SetTransparency({0, 255});
  pal.Row(0)[1] = 1;
  PngImage p2;
  p2.LoadFromMemory(pal.Encode());
  SplitPng(p2, colour, mask, 80);
  EXPECT_EQ(colour.GetIndex(0, 0), 2);
  EXPECT_EQ(colour.GetIndex(1, 0), 1);
  EXPECT_EQ(mask.GetPixel(0, 0), kWhite);

  // 256 entries without black: reduced again, transparent pixels on black.
  PngImage full;
  full.Create(256, 1, PngColourType::Palette, 8);
  ColourList colours;
  for (uint32_t i = 0; i < 256; ++i) colours.push_back(makeColour(i, 255 - i / 2, 1));
  full.SetPalette(colours);
  full.SetTransparency({0});
  for (int x = 0; x < 256; ++x) full.Row(0)[x] = static_cast<uint8_t>(x);
  SplitPng(full, colour, mask, 80);
  EXPECT_EQ(colour.Palette()[0], kBlack);
  EXPECT_EQ(colour.GetIndex(0, 0), 0);
  EXPECT_EQ(mask.GetPixel(0, 0), kWhite);
  EXPECT_EQ(colour.GetPixel(7, 0), colours[7]);

  // RGBA: alpha 0 becomes the value 0, alpha 1 stays.
  PngImage rgba;
  rgba.Create(2, 1, PngColourType::Rgba);
  const uint8_t rpx[] = {9, 8, 7, 0, 9, 8, 7, 1};
  std::memcpy(rgba.Row(0), rpx, sizeof rpx);
  SplitPng(rgba, colour, mask, 80);
  EXPECT_EQ(colour.GetPixel(0, 0), kBlack);
  EXPECT_EQ(test::alphaAt(colour, 0, 0), 0);
  EXPECT_EQ(colour.GetPixel(1, 0), makeColour(9, 8, 7));
  EXPECT_EQ(mask.GetPixel(0, 0), kWhite);
  EXPECT_EQ(mask.GetPixel(1, 0), kBlack);
}

TEST(Png, MalformedAndOversizedStreamsAreRejected) {
  PngImage good;
  good.Create(4, 4, PngColourType::Rgb);
  const std::vector<uint8_t> bytes = good.Encode();
  PngImage p;
  for (size_t cut = 13; cut < bytes.size(); cut += 3)  // IEND alone may go
    EXPECT_THROW(p.LoadFromMemory(std::span(bytes.data(), bytes.size() - cut)), InvalidImage) << cut;
  std::vector<uint8_t> bad = bytes;
  bad[bytes.size() / 2] ^= 0x55;  // CRC or data error
  EXPECT_THROW(p.LoadFromMemory(bad), InvalidImage);
  EXPECT_THROW(p.LoadFromMemory({}), InvalidImage);

  // A header claiming 6000 pixels: refused at the header.
  std::vector<uint8_t> big = bytes;
  big[16] = 0;
  big[17] = 0;
  big[18] = 0x17;
  big[19] = 0x70;
  uint32_t crc = pngsuite::crc32(&big[12], 17);
  big[29] = static_cast<uint8_t>(crc >> 24);
  big[30] = static_cast<uint8_t>(crc >> 16);
  big[31] = static_cast<uint8_t>(crc >> 8);
  big[32] = static_cast<uint8_t>(crc);
  EXPECT_THROW(p.LoadFromMemory(big), InvalidImage);
  EXPECT_EQ(p.Width(), 0);  // unchanged

  // A text chunk claiming a huge length is not allocated for.
  std::vector<uint8_t> text(bytes.begin(), bytes.begin() + 33);
  const uint8_t chunk[] = {0x7F, 0xFF, 0xFF, 0xF0, 'z', 'T', 'X', 't', 'a', 0, 0};
  text.insert(text.end(), chunk, chunk + sizeof chunk);
  EXPECT_THROW(p.LoadFromMemory(text), InvalidImage);
}

TEST(Png, PngSuiteThroughSplitPng) {
  const fs::path dir = ICOFMT_PNGSUITE_DIR;
  if (std::string(ICOFMT_PNGSUITE_DIR).empty() || !fs::is_directory(dir))
    GTEST_SKIP() << "PngSuite not available";
  int checked = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() != ".png") continue;
    const std::string name = entry.path().filename().string();
    SCOPED_TRACE(name);
    std::vector<uint8_t> bytes = readFileBytes(entry.path().string());
    PngImage png;
    const bool corrupt = name[0] == 'x';
    if (corrupt) {
      EXPECT_THROW(png.LoadFromMemory(bytes), InvalidImage);
      continue;
    }
    png.LoadFromMemory(bytes);
    TBitmap colour, mask;
    SplitPng(png, colour, mask, 80);
    ASSERT_EQ(colour.Width(), png.Width());
    ASSERT_EQ(mask.Height(), png.Height());
    if (png.BitDepth() == 16) continue;  // the reference reader scales 16 bits differently
    std::vector<uint8_t> rgba;
    ASSERT_TRUE(pngsuite::decodeRgba(bytes, rgba)) << name;
    const bool byThreshold =
        png.ColourType() == PngColourType::Palette || png.ColourType() == PngColourType::GreyAlpha;
    for (int y = 0; y < png.Height(); ++y)
      for (int x = 0; x < png.Width(); ++x) {
        const uint8_t* r = &rgba[(static_cast<size_t>(y) * png.Width() + x) * 4];
        const bool transparent = byThreshold ? r[3] < 80 : r[3] == 0;
        ASSERT_EQ(mask.GetPixel(x, y) == kWhite, transparent) << x << "," << y;
        // Colours are compared with our own decode only: the reference applies gamma.
        uint8_t own[4];
        png.PixelRgba(x, y, own);
        ASSERT_EQ(colour.GetPixel(x, y), transparent ? kBlack : makeColour(own[0], own[1], own[2]));
      }
    ++checked;
  }
  EXPECT_GT(checked, 30);
}

}  // namespace
}  // namespace icofmt
