#include "pixels/bitmap.h"

#include <algorithm>
#include <cstring>

#include "base/checked.h"
#include "base/errors.h"
#include "pixels/nearest.h"
#include "pixels/palettes.h"

namespace icofmt {

namespace {
// No raster of ours comes near this; it keeps a hostile size from turning
// into a huge allocation before anything else can check it.
constexpr uint64_t kMaxRasterBytes = 1ull << 30;

inline Colour unpack555(uint16_t v) {
  uint32_t r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
  return makeColour((r << 3) | (r >> 2), (g << 3) | (g >> 2), (b << 3) | (b >> 2));
}
inline Colour unpack565(uint16_t v) {
  uint32_t r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
  return makeColour((r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2));
}
inline uint16_t pack555(Colour c) {
  return static_cast<uint16_t>(((redOf(c) >> 3) << 10) | ((greenOf(c) >> 3) << 5) | (blueOf(c) >> 3));
}
inline uint16_t pack565(Colour c) {
  return static_cast<uint16_t>(((redOf(c) >> 3) << 11) | ((greenOf(c) >> 2) << 5) | (blueOf(c) >> 3));
}
}  // namespace

int BitsPerPixel(PixelFormat f) {
  switch (f) {
    case PixelFormat::Bits1:
      return 1;
    case PixelFormat::Bits4:
      return 4;
    case PixelFormat::Bits8:
      return 8;
    case PixelFormat::Bits15:
    case PixelFormat::Bits16:
      return 16;
    case PixelFormat::Bits24:
      return 24;
    case PixelFormat::Bits32:
      return 32;
    default:
      return 0;
  }
}

int64_t ColourCapacity(PixelFormat f) {
  switch (f) {
    case PixelFormat::Bits1:
      return 2;
    case PixelFormat::Bits4:
      return 16;
    case PixelFormat::Bits8:
      return 256;
    case PixelFormat::Bits15:
      return 32768;
    case PixelFormat::Bits16:
      return 65536;
    case PixelFormat::Bits24:
    case PixelFormat::Bits32:
      return 16777216;
    default:
      return 0;
  }
}

PixelFormat PixelFormatForBits(int bits) {
  switch (bits) {
    case 1:
      return PixelFormat::Bits1;
    case 4:
      return PixelFormat::Bits4;
    case 8:
      return PixelFormat::Bits8;
    case 15:
      return PixelFormat::Bits15;
    case 16:
      return PixelFormat::Bits16;
    case 24:
      return PixelFormat::Bits24;
    case 32:
      return PixelFormat::Bits32;
    default:
      return PixelFormat::Device;
  }
}

int64_t AlignedRowBytes(int64_t width, int bits) { return ((width * bits + 31) / 32) * 4; }

int64_t DibHeaderSize(int bitCount, uint32_t coloursUsed, uint32_t compression) {
  if (bitCount < 9) {
    int64_t colours = coloursUsed != 0 ? coloursUsed : (int64_t{1} << std::max(bitCount, 0));
    return 40 + 4 * colours;
  }
  return (compression & 3) != 0 ? 52 : 40;
}

void SwapRedBlue(uint32_t* entries, int count) {
  for (int i = 0; i < count; ++i) {
    uint32_t v = entries[i];
    entries[i] = ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF);
  }
}

void TBitmap::SetSize(int width, int height) {
  if (width < 0 || height < 0) throw InvalidImage();
  int bits = Bits();
  auto bytes = checkedMul(rowSize(static_cast<uint64_t>(width), static_cast<uint64_t>(bits)),
                          static_cast<uint64_t>(height));
  if (!bytes || *bytes > kMaxRasterBytes) throw InvalidImage();
  if (width == width_ && height == height_) return;
  int64_t newRow = AlignedRowBytes(width, bits);
  std::vector<uint8_t> data(static_cast<size_t>(*bytes), 0);
  // Keep the top-left area: row y of the image is row (height - 1 - y) in memory.
  int keepRows = std::min(height, height_);
  size_t keepBytes = static_cast<size_t>(std::min(newRow, rowBytes_));
  // Rows of no bytes have no storage to copy between.
  for (int y = 0; keepBytes > 0 && y < keepRows; ++y)
    std::memcpy(data.data() + static_cast<size_t>(height - 1 - y) * newRow, ScanLine(y), keepBytes);
  data_ = std::move(data);
  width_ = width;
  height_ = height;
  rowBytes_ = newRow;
}

void TBitmap::SetPalette(const ColourList& colours) {
  if (!Paletted() || Bits() == 0) return;
  size_t n = std::min<size_t>(colours.size(), static_cast<size_t>(ColourCapacity(format_)));
  palette_.assign(colours.begin(), colours.begin() + n);
  for (auto& c : palette_) c &= 0xFFFFFF;
}

void TBitmap::SetPixelFormat(PixelFormat f) {
  if (f == PixelFormat::Device || f == PixelFormat::Custom) f = PixelFormat::Bits24;
  if (f == format_) return;
  TBitmap converted;
  converted.format_ = f;
  switch (f) {
    case PixelFormat::Bits1:
      converted.palette_ = standardPalette2List();
      break;
    case PixelFormat::Bits4:
      converted.palette_ = standardPalette16List();
      break;
    case PixelFormat::Bits8:
      converted.palette_ = defaultPalette256List();
      break;
    default:
      break;
  }
  converted.SetSize(width_, height_);
  if (!Empty()) DrawBitmap(*this, converted);
  *this = std::move(converted);
}

int TBitmap::GetIndex(int x, int y) const {
  const uint8_t* row = ScanLine(y);
  switch (format_) {
    case PixelFormat::Bits1:
      return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case PixelFormat::Bits4:
      return (x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4;
    case PixelFormat::Bits8:
      return row[x];
    default:
      return 0;
  }
}

void TBitmap::SetIndex(int x, int y, int index) {
  uint8_t* row = ScanLine(y);
  switch (format_) {
    case PixelFormat::Bits1: {
      uint8_t bit = static_cast<uint8_t>(0x80 >> (x & 7));
      row[x >> 3] = static_cast<uint8_t>((index & 1) ? row[x >> 3] | bit : row[x >> 3] & ~bit);
      break;
    }
    case PixelFormat::Bits4: {
      uint8_t& b = row[x >> 1];
      b = (x & 1) ? static_cast<uint8_t>((b & 0xF0) | (index & 0x0F))
                  : static_cast<uint8_t>((b & 0x0F) | ((index & 0x0F) << 4));
      break;
    }
    case PixelFormat::Bits8:
      row[x] = static_cast<uint8_t>(index);
      break;
    default:
      break;
  }
}

Colour TBitmap::GetPixel(int x, int y) const {
  const uint8_t* row = ScanLine(y);
  switch (format_) {
    case PixelFormat::Bits1:
    case PixelFormat::Bits4:
    case PixelFormat::Bits8: {
      size_t i = static_cast<size_t>(GetIndex(x, y));
      return i < palette_.size() ? palette_[i] : kBlack;
    }
    case PixelFormat::Bits15:
      return unpack555(static_cast<uint16_t>(row[2 * x] | (row[2 * x + 1] << 8)));
    case PixelFormat::Bits16:
      return unpack565(static_cast<uint16_t>(row[2 * x] | (row[2 * x + 1] << 8)));
    case PixelFormat::Bits24:
      return colourFromBgr(row + 3 * x);
    case PixelFormat::Bits32:
      return colourFromBgr(row + 4 * x);
    default:
      return kBlack;
  }
}

void TBitmap::SetPixel(int x, int y, Colour c) {
  uint8_t* row = ScanLine(y);
  switch (format_) {
    case PixelFormat::Bits1:
    case PixelFormat::Bits4:
    case PixelFormat::Bits8:
      SetIndex(x, y, NearestIndex(palette_, c));
      break;
    case PixelFormat::Bits15:
    case PixelFormat::Bits16: {
      uint16_t v = format_ == PixelFormat::Bits15 ? pack555(c) : pack565(c);
      row[2 * x] = static_cast<uint8_t>(v);
      row[2 * x + 1] = static_cast<uint8_t>(v >> 8);
      break;
    }
    case PixelFormat::Bits24:
      storeBgr(row + 3 * x, c);
      break;
    case PixelFormat::Bits32:
      storeBgr(row + 4 * x, c);
      break;
    default:
      break;
  }
}

TBitmap NewMaskBitmap() {
  TBitmap m;
  MakeMaskBitmap(m);
  return m;
}

void MakeMaskBitmap(TBitmap& bmp) {
  TBitmap m;
  m.SetPixelFormat(PixelFormat::Bits1);
  m.SetSize(1, 1);
  m.SetIndex(0, 0, 1);
  bmp = std::move(m);
}

void SetupBitmap(TBitmap& bmp, int width, int height, PixelFormat f) {
  if (f == PixelFormat::Bits1)
    MakeMaskBitmap(bmp);
  else
    bmp.SetPixelFormat(f);
  bmp.SetSize(width, height);
}

void SetupFilledBitmap(TBitmap& bmp, int width, int height, PixelFormat f, Colour c) {
  SetupBitmap(bmp, width, height, f);
  FillBitmap(bmp, c);
}

void ResizeAndFill(TBitmap& bmp, int width, int height, Colour c) {
  bmp.SetSize(width, height);
  FillBitmap(bmp, c);
}

void FillBitmap(TBitmap& bmp, Colour c) {
  if (c == NoColour || bmp.Empty()) return;
  c &= 0xFFFFFF;
  if (bmp.Paletted()) {
    int index = NearestIndex(bmp.Palette(), c);
    for (int y = 0; y < bmp.Height(); ++y)
      for (int x = 0; x < bmp.Width(); ++x) bmp.SetIndex(x, y, index);
    return;
  }
  if (bmp.Format() == PixelFormat::Bits24 || bmp.Format() == PixelFormat::Bits32) {
    // The colour bytes of every pixel; a 32-bit pixel's alpha stays.
    const int step = bmp.Format() == PixelFormat::Bits32 ? 4 : 3;
    for (int y = 0; y < bmp.Height(); ++y) {
      uint8_t* p = bmp.ScanLine(y);
      for (int x = 0; x < bmp.Width(); ++x, p += step) storeBgr(p, c);
    }
    return;
  }
  for (int y = 0; y < bmp.Height(); ++y)
    for (int x = 0; x < bmp.Width(); ++x) bmp.SetPixel(x, y, c);
}

TBitmap CreateWorkBitmap(PixelFormat f, int width, int height, Colour c) {
  TBitmap bmp;
  if (f == PixelFormat::Bits1) {
    bmp = NewMaskBitmap();
    bmp.SetSize(width, height);
  } else if (f == PixelFormat::Bits32) {
    SetupBitmap32(bmp, width, height, c);
    return bmp;
  } else {
    bmp.SetPixelFormat(f);
    bmp.SetSize(width, height);
  }
  FillBitmap(bmp, c);
  return bmp;
}

void SetupBitmap32(TBitmap& bmp, int width, int height, uint32_t value) {
  bmp.SetPixelFormat(PixelFormat::Bits32);
  bmp.SetSize(width, height);
  uint8_t px[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                   static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
  for (int y = 0; y < height; ++y) {
    uint8_t* row = bmp.ScanLine(y);
    for (int x = 0; x < width; ++x) std::memcpy(row + 4 * x, px, 4);
  }
}

void ReadRow24(const TBitmap& bmp, int y, uint8_t* out) {
  if (bmp.Width() == 0) return;
  if (bmp.Format() == PixelFormat::Bits24) {
    std::memcpy(out, bmp.ScanLine(y), static_cast<size_t>(bmp.Width()) * 3);
    return;
  }
  if (bmp.Format() == PixelFormat::Bits32) {
    const uint8_t* row = bmp.ScanLine(y);
    for (int x = 0; x < bmp.Width(); ++x) std::memcpy(out + 3 * x, row + 4 * x, 3);
    return;
  }
  for (int x = 0; x < bmp.Width(); ++x) storeBgr(out + 3 * x, bmp.GetPixel(x, y));
}

bool SameImage(const TBitmap& a, const TBitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  std::vector<uint8_t> ra(static_cast<size_t>(a.Width()) * 3), rb(ra.size());
  for (int y = 0; y < a.Height(); ++y) {
    ReadRow24(a, y, ra.data());
    ReadRow24(b, y, rb.data());
    if (ra != rb) return false;
  }
  return true;
}

void DrawBitmap(const TBitmap& src, TBitmap& dst) {
  int w = std::min(src.Width(), dst.Width()), h = std::min(src.Height(), dst.Height());
  if (w <= 0 || h <= 0) return;
  std::vector<uint8_t> row(static_cast<size_t>(src.Width()) * 3);
  if (dst.Paletted()) {
    NearestMapper mapper(dst.Palette());
    for (int y = 0; y < h; ++y) {
      ReadRow24(src, y, row.data());
      for (int x = 0; x < w; ++x) dst.SetIndex(x, y, mapper.Map(colourFromBgr(row.data() + 3 * x)));
    }
    return;
  }
  for (int y = 0; y < h; ++y) {
    ReadRow24(src, y, row.data());
    if (dst.Format() == PixelFormat::Bits24) {
      if (w > 0) std::memcpy(dst.ScanLine(y), row.data(), static_cast<size_t>(w) * 3);
      continue;
    }
    for (int x = 0; x < w; ++x) dst.SetPixel(x, y, colourFromBgr(row.data() + 3 * x));
  }
}

TBitmap ToBits24(const TBitmap& src) {
  TBitmap out;
  out.SetPixelFormat(PixelFormat::Bits24);
  out.SetSize(src.Width(), src.Height());
  DrawBitmap(src, out);
  return out;
}

}  // namespace icofmt
