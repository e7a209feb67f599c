// The pixel side of an image: taking its block apart into bitmaps, exporting
// it as PNG, and moving between bitmap-form and PNG blocks.
#include <algorithm>

#include "base/byte_reader.h"
#include "base/checked.h"
#include "base/errors.h"
#include "base/stream.h"
#include "icon/icon_graphic.h"
#include "icon/sub_icon.h"
#include "icon/sub_icon_list.h"
#include "pixels/alpha.h"
#include "pixels/bitmap.h"
#include "pixels/bmp_codec.h"
#include "pixels/palettes.h"
#include "pixels/png_image.h"
#include "pixels/reduce.h"

namespace icofmt {

namespace {

constexpr int kIconMaskAlphaThreshold = 96;

void putFileHeader(std::vector<uint8_t>& out, uint32_t fileSize, uint32_t pixelOffset) {
  out.insert(out.end(), {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  storeU32le(out.data() + 2, fileSize);
  storeU32le(out.data() + 10, pixelOffset);
}

// A bitmap-form block as two complete bitmap files: header, palette and
// colour bits; and the 1-bit mask (white = transparent). Bytes the block
// lacks are left out of the colour file (which then fails to load) and are
// 0 (opaque) in the mask.
struct SplitFiles {
  std::vector<uint8_t> colour, mask;
};

SplitFiles splitBlock(const std::vector<uint8_t>& block) {
  BitmapInfoHeader h = decodeInfoHeader(block);
  const uint64_t bits = uint64_t{h.biPlanes} * h.biBitCount;
  const uint64_t width = static_cast<uint32_t>(h.biWidth);
  const uint64_t height = static_cast<uint32_t>(h.biHeight) >> 1;
  const uint64_t colourSize = rowSize(width, bits) * height;
  const uint64_t maskSize = rowSize(width, 1) * height;
  const uint64_t headerAndPalette = headerAndPaletteLength(h);

  SplitFiles files;
  h.biHeight /= 2;
  h.biSizeImage = static_cast<uint32_t>(colourSize);
  const uint64_t colourEnd = std::min<uint64_t>(block.size(), headerAndPalette + colourSize);
  putFileHeader(files.colour, static_cast<uint32_t>(block.size() - maskSize + 14),
                static_cast<uint32_t>(headerAndPalette + 14));
  const auto header = encodeInfoHeader(h);
  files.colour.insert(files.colour.end(), header.begin(), header.end());
  files.colour.insert(files.colour.end(), block.begin() + kInfoHeaderSize, block.begin() + colourEnd);

  BitmapInfoHeader m = h;
  m.biBitCount = 1;
  m.biPlanes = 1;
  m.biCompression = 0;
  m.biClrUsed = 2;
  m.biClrImportant = 0;
  m.biSizeImage = static_cast<uint32_t>(maskSize);
  putFileHeader(files.mask, static_cast<uint32_t>(62 + maskSize), 62);
  const auto maskHeader = encodeInfoHeader(m);
  files.mask.insert(files.mask.end(), maskHeader.begin(), maskHeader.end());
  files.mask.insert(files.mask.end(), {0, 0, 0, 0, 255, 255, 255, 0});
  const size_t maskAt = files.mask.size();
  files.mask.resize(maskAt + maskSize, 0);
  const uint64_t maskStart = std::min<uint64_t>(block.size(), headerAndPalette + colourSize);
  const uint64_t present = std::min<uint64_t>(maskSize, block.size() - maskStart);
  std::copy_n(block.begin() + static_cast<ptrdiff_t>(maskStart), present, files.mask.begin() + maskAt);
  return files;
}

bool loadBitmapFile(const std::vector<uint8_t>& file, TBitmap& out) {
  try {
    TMemoryStream stream(file);
    TBitmapFix32 loaded;
    loaded.LoadFromStream(stream);
    if (loaded.Format() == PixelFormat::Device || loaded.Format() == PixelFormat::Custom)
      loaded.SetPixelFormat(PixelFormat::Bits24);
    out = static_cast<TBitmap&&>(loaded);
    return true;
  } catch (const Error&) {
    return false;
  }
}

Colour opaque(Colour c) { return c == NoColour ? kBlack : (c & 0xFFFFFF); }

// Every pixel over the opaque background: channel = bg + a * (p - bg) / 255.
void compositeOver(TBitmap& bmp, Colour background) {
  const int bg[3] = {static_cast<int>(blueOf(background)), static_cast<int>(greenOf(background)),
                     static_cast<int>(redOf(background))};
  for (int y = 0; y < bmp.Height(); ++y) {
    uint8_t* p = bmp.ScanLine(y);
    for (int x = 0; x < bmp.Width(); ++x, p += 4) {
      const int a = p[3];
      if (a != 255)
        for (int k = 0; k < 3; ++k) p[k] = static_cast<uint8_t>(bg[k] + a * (p[k] - bg[k]) / 255);
      p[3] = 255;
    }
  }
}

// Pixels under set mask bits take the key colour, or its inverse over white.
void applyKeyColour(TBitmap& drawn, const TBitmap& mask, Colour background, int bitCount) {
  Colour key;
  if (bitCount == 1 && background != kBlack)
    key = kWhite;
  else if (drawn.Paletted() && !drawn.Palette().empty())
    key = drawn.Palette()[static_cast<size_t>(std::max(0, NearestColourIndex(drawn.Palette(), background)))];
  else
    key = background;
  const Colour inverse = ~key & 0xFFFFFF;
  const int w = std::min(drawn.Width(), mask.Width()), h = std::min(drawn.Height(), mask.Height());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (MaskIsWhite(mask, x, y)) drawn.SetPixel(x, y, drawn.GetPixel(x, y) == kWhite ? inverse : key);
}

// Windows takes a 32-bit image whose alpha bytes are all 0 as one without
// alpha, drawn through its AND mask; the bitmap loader makes such an image
// opaque, which is right only when the mask marks nothing.
bool storedAlphaAllZero(const std::vector<uint8_t>& block) {
  const BitmapInfoHeader h = decodeInfoHeader(block);
  const uint64_t width = static_cast<uint32_t>(h.biWidth), height = static_cast<uint32_t>(h.biHeight) >> 1;
  const uint64_t start = headerAndPaletteLength(h), size = width * height * 4;
  if (size == 0 || start > block.size() || size > block.size() - start) return false;
  for (uint64_t i = 3; i < size; i += 4)
    if (block[start + i] != 0) return false;
  return true;
}

// The pixels the mask marks become transparent (colour 0 as well), the others opaque.
void alphaFromMask(TBitmap& colour, const TBitmap& mask) {
  if (colour.Format() != PixelFormat::Bits32) return;
  const int w = std::min(colour.Width(), mask.Width()), h = std::min(colour.Height(), mask.Height());
  bool marked = false;
  for (int y = 0; y < h && !marked; ++y)
    for (int x = 0; x < w && !marked; ++x) marked = MaskIsWhite(mask, x, y);
  if (!marked) return;
  for (int y = 0; y < colour.Height(); ++y) {
    uint8_t* p = colour.ScanLine(y);
    for (int x = 0; x < colour.Width(); ++x, p += 4) {
      if (x < w && y < h && MaskIsWhite(mask, x, y))
        std::fill_n(p, 4, uint8_t{0});
      else
        p[3] = 255;
    }
  }
}

void fallback(TBitmap& bmp, int bitCount, int width, int height, Colour background) {
  const PixelFormat f = PixelFormatForBits(bitCount);
  if (f == PixelFormat::Bits1)
    MakeMaskBitmap(bmp);
  else
    bmp.SetPixelFormat(f);
  ResizeAndFill(bmp, width, height, background);
}

// An 8-bit palette PNG whose index 0 alone is transparent.
void encodeWithTransparentIndex(TBitmap& bmp, const TBitmap& mask, PngImage& png) {
  ReserveTransparentIndex(bmp, mask, NoColour);
  ColourList palette = bmp.Palette();
  palette.resize(256, kBlack);
  png.Create(bmp.Width(), bmp.Height(), PngColourType::Palette, 8);
  png.SetPalette(palette);
  for (int y = 0; y < bmp.Height(); ++y)
    for (int x = 0; x < bmp.Width(); ++x) png.Row(y)[x] = static_cast<uint8_t>(bmp.GetIndex(x, y));
  png.SetTransparency({0});
}

TBitmap eightBitCopy(const TBitmap& src, const ColourList& palette) {
  TBitmap work;
  work.SetPixelFormat(PixelFormat::Bits8);
  work.SetPalette(palette);
  work.SetSize(src.Width(), src.Height());
  DrawBitmap(src, work);
  return work;
}

// A paletted copy of a bitmap in a lower depth that keeps the first entries
// of its palette and its indices: how a 1- or 4-bit palette PNG arrives.
TBitmap keepIndices(const TBitmap& src, PixelFormat f) {
  TBitmap out;
  out.SetPixelFormat(f);
  ColourList palette = src.Palette();
  palette.resize(static_cast<size_t>(ColourCapacity(f)), kBlack);
  out.SetPalette(palette);
  out.SetSize(src.Width(), src.Height());
  for (int y = 0; y < src.Height(); ++y)
    for (int x = 0; x < src.Width(); ++x) out.SetIndex(x, y, src.GetIndex(x, y));
  return out;
}

}  // namespace

void TSubIcon::ExtractBitmaps(TBitmap* drawn, TBitmap* raw, Colour background, TBitmap* mask) const {
  if (data_.empty()) {
    for (TBitmap* b : {drawn, raw, mask})
      if (b) b->SetSize(0, 0);
    return;
  }
  if (data_.size() >= 4 && data_[0] == 0x89 && data_[1] == 0x50 && data_[2] == 0x4E && data_[3] == 0x47) {
    TSubIcon unpacked;
    UnpackPNG(unpacked);
    unpacked.ExtractBitmaps(drawn, raw, background, mask);
    return;
  }
  if (!drawn && !raw && !mask) return;
  const SplitFiles files = splitBlock(data_);
  const int bits = BitCount(), w = Width(), h = Height();
  const bool maskedAlpha = bits == 32 && (raw || drawn) && storedAlphaAllZero(data_);
  TBitmap maskBitmap;
  const bool needMask = mask || drawn || maskedAlpha;
  if (needMask && !loadBitmapFile(files.mask, maskBitmap)) {
    MakeMaskBitmap(maskBitmap);
    ResizeAndFill(maskBitmap, w, h, background);
  }
  if (raw) {
    if (!loadBitmapFile(files.colour, *raw))
      fallback(*raw, bits, w, h, background);
    else if (maskedAlpha)
      alphaFromMask(*raw, maskBitmap);
  }
  if (drawn) {
    if (!loadBitmapFile(files.colour, *drawn))
      fallback(*drawn, bits, w, h, background);
    else if (maskedAlpha)
      alphaFromMask(*drawn, maskBitmap);
    if (drawn->Format() == PixelFormat::Bits32)
      compositeOver(*drawn, opaque(background));
    else
      applyKeyColour(*drawn, maskBitmap, opaque(background), bits);
  }
  if (mask) *mask = std::move(maskBitmap);
}

void TSubIcon::SaveToPNG(PngImage& png) const {
  TBitmap raw, mask;
  ExtractBitmaps(nullptr, &raw, kBlack, &mask);
  const int bits = BitCount();
  if (bits == 32) {
    png = PngImage::FromBitmap(raw);
    return;
  }
  TBitmap opaqueMask;
  SetupFilledBitmap(opaqueMask, mask.Width(), mask.Height(), PixelFormat::Bits24, kBlack);
  if (SameImage(mask, opaqueMask)) {
    png = PngImage::FromBitmap(raw);
  } else if (bits == 8) {
    encodeWithTransparentIndex(raw, mask, png);
  } else if (bits == 1) {
    TBitmap work = eightBitCopy(raw, standardPalette2List());
    encodeWithTransparentIndex(work, mask, png);
  } else if (bits > 8) {
    TBitmap merged;
    MergeMask(raw, &mask, merged);
    png = PngImage::FromBitmap(merged);
  } else {
    TBitmap work = eightBitCopy(raw, standardPalette16List());
    encodeWithTransparentIndex(work, mask, png);
  }
}

void TSubIcon::Pack(TSubIcon& target) const {
  if (IsPNG() && &target == this) {
    target.packed_ = true;
    return;
  }
  PngImage png;
  SaveToPNG(png);
  TMemoryStream stream;
  png.SaveToStream(stream);
  if (&target != this) {
    target.entry_ = entry_;
    target.hotSpot_ = hotSpot_;
    target.bitCount_ = 0;
  }
  target.handle_.reset();
  target.data_ = std::move(stream.Bytes());
  target.entry_.Size = static_cast<uint32_t>(target.data_.size());
  target.packed_ = true;
}

void TSubIcon::UnpackPNG(TSubIcon& target) const {
  PngImage png;
  THCustomMemoryStream block(data_);
  png.LoadFromStream(block);
  const uint16_t dirBits = entry_.BitCount;
  // The hot spot survives unpacking: a PNG cursor image keeps it.
  const THotSpot hotSpot = hotSpot_;
  TBitmap b = png.ToBitmap();

  TSubIcon built;
  if (b.Format() == PixelFormat::Bits32 && dirBits != 1 && dirBits != 4 && dirBits != 8) {
    built.SetFrom32BitBitmap(b);
  } else {
    TBitmap c, m;
    SplitPng(png, c, m, kAlphaThreshold);
    const bool smallPalette = png.ColourType() == PngColourType::Palette;
    if (dirBits == 4 && c.Format() != PixelFormat::Bits4) {
      if (smallPalette && png.BitDepth() <= 4) {
        b = keepIndices(c, PixelFormat::Bits4);
      } else {
        SetupFilledBitmap(b, c.Width(), c.Height(), PixelFormat::Bits4, NoColour);
        DrawBitmap(c, b);
      }
    } else if (dirBits == 4) {
      b = c;
    } else if (dirBits == 1 && b.Format() != PixelFormat::Bits1) {
      if (smallPalette && png.BitDepth() == 1) {
        b = keepIndices(c, PixelFormat::Bits1);
      } else {
        SetupFilledBitmap(b, c.Width(), c.Height(), PixelFormat::Bits1, NoColour);
        DrawBitmap(c, b);
      }
    } else if (dirBits == 8 && b.Format() != PixelFormat::Bits8) {
      TBitmap eight;
      if (!ExactPalette8(c, eight, true, false)) {
        SetupFilledBitmap(eight, c.Width(), c.Height(), PixelFormat::Bits8, NoColour);
        ApplyDefaultPalette(eight);
        DrawBitmap(c, eight);
      }
      b = std::move(eight);
    }
    TSubIconList list;
    list.AddFromBitmap(b, &m, 0);
    built.TakeContent(*list.Items(0));
  }
  target.TakeContent(built);
  target.hotSpot_ = hotSpot;
  target.packed_ = false;
}

void TSubIcon::SetFrom32BitBitmap(const TBitmap& source) {
  TBitmap bmp = source;
  if (bmp.Format() != PixelFormat::Bits32) bmp.SetPixelFormat(PixelFormat::Bits32);
  const uint32_t w = static_cast<uint32_t>(bmp.Width()), h = static_cast<uint32_t>(bmp.Height());
  TBitmap mask;
  MaskFromAlpha(bmp, mask, kIconMaskAlphaThreshold);
  const uint64_t maskSize = rowSize(w, 1) * h;

  BitmapInfoHeader header;
  header.biSize = kInfoHeaderSize;
  header.biWidth = static_cast<int32_t>(w);
  header.biHeight = static_cast<int32_t>(2 * h);
  header.biPlanes = 1;
  header.biBitCount = 32;
  header.biSizeImage = 4 * w * h;
  std::vector<uint8_t> block;
  const auto encoded = encodeInfoHeader(header);
  block.reserve(kInfoHeaderSize + 4ull * w * h + maskSize);
  block.insert(block.end(), encoded.begin(), encoded.end());
  block.insert(block.end(), bmp.Data(), bmp.Data() + 4ull * w * h);  // bottom row first, as stored
  const size_t maskAt = block.size();
  block.resize(maskAt + maskSize, 0);
  if (mask.ByteSize() >= maskSize)
    std::copy_n(mask.Data(), maskSize, block.begin() + static_cast<ptrdiff_t>(maskAt));

  handle_.reset();
  entry_ = {
      static_cast<uint8_t>(w), static_cast<uint8_t>(h), 0, 0, 1, 32, static_cast<uint32_t>(block.size())};
  data_ = std::move(block);
  bitCount_ = 0;
}

void TSubIcon::AssignTo(TBitmap& bitmap) const {
  const int bits = BitCount();
  if (bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32)
    bitmap.SetPixelFormat(PixelFormatForBits(bits));
  bitmap.SetSize(Width(), Height());
  FillBitmap(bitmap, kBlack);
  TBitmap drawn;
  ExtractBitmaps(&drawn, nullptr, kBlack, nullptr);
  DrawBitmap(drawn, bitmap);
}

}  // namespace icofmt
