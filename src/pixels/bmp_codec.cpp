#include "pixels/bmp_codec.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

#include "base/byte_reader.h"
#include "base/checked.h"
#include "base/errors.h"
#include "base/stream.h"

namespace icofmt {

namespace {

// Larger sides than this are not bitmaps anyone hands us; refusing them keeps
// a header of zero-width rows from costing billions of empty iterations.
constexpr int64_t kMaxBmpSide = 65535;

struct DibInfo {
  uint32_t pixelOffset = 0;  // from the file header; 0: right after the palette
  uint32_t headerSize = 0;
  int64_t width = 0;
  int64_t height = 0;  // negative: rows top-down
  int bitCount = 0;
  uint32_t compression = 0;
  uint32_t imageSize = 0;
  uint32_t coloursUsed = 0;
  uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha
};

[[noreturn]] void invalid() { throw InvalidBitmap(); }

// Reads count bytes or fails as an invalid bitmap (a short stream is bad data here).
void readExact(TStream& s, void* buf, int64_t count) {
  if (count > 0 && s.Read(buf, count) != count) invalid();
}

// The file header and the DIB header behind it: a core header's 16-bit
// fields, or an info header's and, in its longer versions, the bit-field
// masks. available is what the stream holds from the file's start.
DibInfo readHeaders(TStream& stream, int64_t available) {
  uint8_t fileHeader[kBmpFileHeaderSize];
  readExact(stream, fileHeader, sizeof fileHeader);
  if (fileHeader[0] != 'B' || fileHeader[1] != 'M') invalid();
  DibInfo info;
  info.pixelOffset = loadU32le(fileHeader + kBmpPixelOffsetField);
  uint8_t sizeBytes[4];
  readExact(stream, sizeBytes, 4);
  info.headerSize = loadU32le(sizeBytes);
  if (info.headerSize != 12 && (info.headerSize < 40 || info.headerSize > available - 14)) invalid();
  std::vector<uint8_t> fields(info.headerSize - 4);
  readExact(stream, fields.data(), static_cast<int64_t>(fields.size()));
  ByteReader r(fields);
  if (info.headerSize == 12) {
    info.width = r.u16le();
    info.height = static_cast<int16_t>(r.u16le());
    r.skip(2);  // planes
    info.bitCount = r.u16le();
    return info;
  }
  info.width = r.i32le();
  info.height = r.i32le();
  r.skip(2);  // planes
  info.bitCount = r.u16le();
  info.compression = r.u32le();
  info.imageSize = r.u32le();
  r.skip(8);  // resolution
  info.coloursUsed = r.u32le();
  r.skip(4);  // colours important
  if (info.headerSize >= 52)
    for (int i = 0; i < 3; ++i) info.masks[i] = r.u32le();
  if (info.headerSize >= 56) info.masks[3] = r.u32le();
  return info;
}

// Channel value scaled to 8 bits from a bit-field mask.
struct Field {
  uint32_t mask = 0;
  int shift = 0;
  uint32_t max = 0;
  explicit Field(uint32_t m) : mask(m) {
    if (m == 0) return;
    shift = std::countr_zero(m);
    max = m >> shift;
  }
  uint32_t operator()(uint32_t v) const {
    return max == 0 ? 0 : (((v & mask) >> shift) * 255 + max / 2) / max;
  }
};

void decodePixels(const DibInfo& info, const ColourList& palette, const uint8_t* pixels, TBitmap& out) {
  const int w = static_cast<int>(info.width);
  const int h = static_cast<int>(info.height < 0 ? -info.height : info.height);
  const bool topDown = info.height < 0;
  const int64_t srcRow = AlignedRowBytes(w, info.bitCount);
  auto srcLine = [&](int y) { return pixels + (topDown ? y : h - 1 - y) * srcRow; };

  PixelFormat f = PixelFormatForBits(info.bitCount);
  bool generic = false;
  uint32_t r = info.masks[0], g = info.masks[1], b = info.masks[2], a = info.masks[3];
  if (info.compression == 3) {
    if (info.bitCount == 16) {
      if (r == 0x7C00 && g == 0x03E0 && b == 0x001F)
        f = PixelFormat::Bits15;
      else if (r == 0xF800 && g == 0x07E0 && b == 0x001F)
        f = PixelFormat::Bits16;
      else
        generic = true;
    } else if (info.bitCount == 32) {
      generic = !(r == 0xFF0000 && g == 0xFF00 && b == 0xFF && (a == 0 || a == 0xFF000000));
    }
  } else if (info.bitCount == 16) {
    f = PixelFormat::Bits15;
  }
  if (generic) f = a != 0 && info.bitCount == 32 ? PixelFormat::Bits32 : PixelFormat::Bits24;

  TBitmap bmp;
  bmp.SetPixelFormat(f);
  if (bmp.Paletted()) bmp.SetPalette(palette);
  bmp.SetSize(w, h);
  if (!generic) {
    // A bitmap 0 pixels wide has rows of no bytes and no storage to copy into.
    size_t n = static_cast<size_t>(std::min(srcRow, bmp.RowBytes()));
    if (n > 0)
      for (int y = 0; y < h; ++y) std::memcpy(bmp.ScanLine(y), srcLine(y), n);
  } else {
    Field fr(r), fg(g), fb(b), fa(a);
    int bpp = info.bitCount / 8;
    for (int y = 0; y < h; ++y) {
      const uint8_t* s = srcLine(y);
      uint8_t* d = bmp.ScanLine(y);
      for (int x = 0; x < w; ++x) {
        uint32_t v = bpp == 2 ? loadU16le(s + 2 * x) : loadU32le(s + 4 * x);
        storeBgr(d, makeColour(fr(v), fg(v), fb(v)));
        if (f == PixelFormat::Bits32) d[3] = static_cast<uint8_t>(fa(v));
        d += f == PixelFormat::Bits32 ? 4 : 3;
      }
    }
  }
  out = std::move(bmp);
}

}  // namespace

void ReadBmp(TStream& stream, TBitmap& out) {
  const int64_t start = stream.Position();
  const int64_t available = stream.Size() - start;
  DibInfo info = readHeaders(stream, available);
  int64_t consumed = 14 + info.headerSize;
  const int bits = info.bitCount;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) invalid();
  if (info.compression != 0 && !(info.compression == 3 && (bits == 16 || bits == 32))) invalid();
  if (info.width < 0 || info.width > kMaxBmpSide || info.height < -kMaxBmpSide || info.height > kMaxBmpSide)
    invalid();
  if (info.compression == 3 && info.headerSize == 40) {
    uint8_t m[12];
    readExact(stream, m, 12);
    for (int i = 0; i < 3; ++i) info.masks[i] = loadU32le(m + 4 * i);
    consumed += 12;
  }

  ColourList palette;
  const int entrySize = info.headerSize == 12 ? 3 : 4;
  uint64_t entries = info.coloursUsed;
  if (bits <= 8 && entries == 0) entries = uint64_t{1} << bits;
  if (!rangeFits(static_cast<uint64_t>(consumed), entries * entrySize, static_cast<uint64_t>(available)))
    invalid();
  if (bits <= 8) {
    std::vector<uint8_t> table(static_cast<size_t>(entries * entrySize));
    readExact(stream, table.data(), static_cast<int64_t>(table.size()));
    size_t keep = std::min<uint64_t>(entries, uint64_t{1} << bits);
    for (size_t i = 0; i < keep; ++i) palette.push_back(colourFromBgr(table.data() + i * entrySize));
  }
  consumed += static_cast<int64_t>(entries * entrySize);

  const uint64_t pixelOffset = info.pixelOffset != 0 ? info.pixelOffset : static_cast<uint64_t>(consumed);
  if (pixelOffset < 14 + uint64_t{info.headerSize}) invalid();
  const uint64_t height = static_cast<uint64_t>(info.height < 0 ? -info.height : info.height);
  const uint64_t needed = rowSize(static_cast<uint64_t>(info.width), static_cast<uint64_t>(bits)) * height;
  if (!rangeFits(pixelOffset, needed, static_cast<uint64_t>(available))) invalid();
  std::vector<uint8_t> pixels(static_cast<size_t>(needed));
  stream.SetPosition(start + static_cast<int64_t>(pixelOffset));
  readExact(stream, pixels.data(), static_cast<int64_t>(needed));
  decodePixels(info, palette, pixels.data(), out);
}

void WriteBmp(const TBitmap& bmp, TStream& stream) {
  const int bits = bmp.Bits() == 0 ? 24 : bmp.Bits();
  const bool masks565 = bmp.Format() == PixelFormat::Bits16;
  const bool paletted = bmp.Paletted() && bits <= 8;
  size_t paletteEntries = 0;
  uint32_t coloursUsed = 0;
  if (paletted) {
    size_t capacity = size_t{1} << bits;
    paletteEntries = bmp.Palette().empty() ? capacity : bmp.Palette().size();
    coloursUsed = paletteEntries == capacity ? 0 : static_cast<uint32_t>(paletteEntries);
  }
  const uint32_t headerBytes = 14 + 40 + (masks565 ? 12 : 0) + static_cast<uint32_t>(paletteEntries * 4);
  const uint64_t imageBytes = static_cast<uint64_t>(bmp.RowBytes()) * static_cast<uint64_t>(bmp.Height());
  std::vector<uint8_t> h(headerBytes, 0);
  h[0] = 'B';
  h[1] = 'M';
  storeU32le(&h[2], static_cast<uint32_t>(headerBytes + imageBytes));
  storeU32le(&h[10], headerBytes);
  storeU32le(&h[14], 40);
  storeU32le(&h[18], static_cast<uint32_t>(bmp.Width()));
  storeU32le(&h[22], static_cast<uint32_t>(bmp.Height()));
  storeU16le(&h[26], 1);
  storeU16le(&h[28], static_cast<uint16_t>(bits));
  storeU32le(&h[30], masks565 ? 3 : 0);
  storeU32le(&h[34], static_cast<uint32_t>(imageBytes));
  storeU32le(&h[46], coloursUsed);
  size_t pos = 54;
  if (masks565) {
    storeU32le(&h[54], 0xF800);
    storeU32le(&h[58], 0x07E0);
    storeU32le(&h[62], 0x001F);
    pos += 12;
  }
  for (size_t i = 0; i < paletteEntries; ++i, pos += 4)
    if (i < bmp.Palette().size()) storeBgr(&h[pos], bmp.Palette()[i]);
  stream.WriteBuffer(h.data(), static_cast<int64_t>(h.size()));
  if (bmp.Bits() == 0) {
    // A bitmap without a layout of its own is written as its 24-bit colours.
    TBitmap as24 = ToBits24(bmp);
    stream.WriteBuffer(as24.Data(), static_cast<int64_t>(as24.ByteSize()));
    return;
  }
  stream.WriteBuffer(bmp.Data(), static_cast<int64_t>(bmp.ByteSize()));
}

void TBitmap::SaveToStream(TStream& stream) const { WriteBmp(*this, stream); }
void TBitmap::LoadFromStream(TStream& stream) { ReadBmp(stream, *this); }

void RepairZeroAlpha(TBitmap& bmp) {
  if (bmp.Format() != PixelFormat::Bits32 || bmp.Empty()) return;
  for (int y = 0; y < bmp.Height(); ++y) {
    const uint8_t* row = bmp.ScanLine(y);
    for (int x = 0; x < bmp.Width(); ++x)
      if (row[4 * x + 3] != 0) return;
  }
  for (int y = 0; y < bmp.Height(); ++y) {
    uint8_t* row = bmp.ScanLine(y);
    for (int x = 0; x < bmp.Width(); ++x) row[4 * x + 3] = 255;
  }
}

void TBitmapFix32::SaveToStream(TStream& stream) const { WriteBmp(*this, stream); }

void TBitmapFix32::LoadFromStream(TStream& stream) {
  const int64_t start = stream.Position();
  int64_t available = stream.Size() - start;
  const DibInfo info = readHeaders(stream, available);
  available -= int64_t{info.headerSize} + 14;
  const int64_t height = info.height;

  int64_t excess = 0, end = 0;
  if ((info.compression == 0 || info.compression == 3) && info.bitCount == 32 && info.width >= 0 &&
      info.width <= kMaxBmpSide && height >= -kMaxBmpSide && height <= kMaxBmpSide) {
    if (info.headerSize == 40 && info.compression == 3) {
      stream.Seek(12, SeekOrigin::Current);
      available -= 12;
    }
    int64_t table = int64_t{info.coloursUsed} * (info.headerSize == 12 ? 3 : 4);
    stream.Seek(table, SeekOrigin::Current);
    available -= table;
    int64_t needed = ((info.width * 32 + 31) / 32) * 4 * (height < 0 ? -height : height);
    int64_t declared = info.imageSize == 0 ? needed : int64_t{info.imageSize};
    available = std::min(available, declared);
    if (available > needed) {
      excess = available - needed;
      end = stream.Position() + available;
    }
  }

  if (excess > 0) {
    TMemoryStream copy;
    stream.SetPosition(start);
    copy.CopyFrom(stream, end - excess - start);
    copy.SetPosition(0);
    ReadBmp(copy, *this);
    stream.SetPosition(end);
  } else {
    stream.SetPosition(start);
    ReadBmp(stream, *this);
  }
  RepairZeroAlpha(*this);
}

}  // namespace icofmt
