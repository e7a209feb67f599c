#include "pixels/alpha.h"

#include <algorithm>
#include <cstring>

#include "pixels/reduce.h"

namespace icofmt {

namespace {
inline void setMask(TBitmap& mask, int x, int y, bool white) { mask.SetIndex(x, y, white ? 1 : 0); }

void sizeMask(TBitmap& mask, int width, int height) {
  if (mask.Format() != PixelFormat::Bits1) MakeMaskBitmap(mask);
  mask.SetSize(width, height);
}
}  // namespace

void SetupOpaqueMask(TBitmap& mask, int width, int height) {
  SetupBitmap(mask, width, height, PixelFormat::Bits1);
  std::memset(mask.Data(), 0, mask.ByteSize());
}

void SplitAlpha(const TBitmap& src, TBitmap& colour, TBitmap* mask, bool keepWhite, int threshold) {
  TBitmap out;
  SetupBitmap(out, src.Width(), src.Height(), PixelFormat::Bits24);
  TBitmap m;
  SetupOpaqueMask(m, src.Width(), src.Height());
  if (src.Format() != PixelFormat::Bits32) {
    DrawBitmap(src, out);
  } else {
    for (int y = 0; y < src.Height(); ++y) {
      const uint8_t* s = src.ScanLine(y);
      uint8_t* d = out.ScanLine(y);
      for (int x = 0; x < src.Width(); ++x, s += 4, d += 3) {
        if (s[3] < threshold) {
          bool white = keepWhite && s[0] == 255 && s[1] == 255 && s[2] == 255 && s[3] == 0;
          std::memset(d, white ? 255 : 0, 3);
          setMask(m, x, y, true);
        } else {
          std::memcpy(d, s, 3);
        }
      }
    }
  }
  colour = std::move(out);
  if (mask) *mask = std::move(m);
}

void MaskFromAlpha(const TBitmap& src, TBitmap& mask, int threshold) {
  if (src.Format() != PixelFormat::Bits32) return;
  if (mask.Width() != src.Width() || mask.Height() != src.Height()) sizeMask(mask, src.Width(), src.Height());
  if (mask.Format() != PixelFormat::Bits1) {
    for (int y = 0; y < src.Height(); ++y) {
      const uint8_t* s = src.ScanLine(y);
      for (int x = 0; x < src.Width(); ++x) setMask(mask, x, y, s[4 * x + 3] < threshold);
    }
    return;
  }
  // Eight pixels to a mask byte, first pixel in the high bit; the bits past
  // the width keep what they held.
  const int width = src.Width();
  for (int y = 0; y < src.Height(); ++y) {
    const uint8_t* s = src.ScanLine(y);
    uint8_t* m = mask.ScanLine(y);
    for (int x0 = 0; x0 < width; x0 += 8) {
      const int n = std::min(8, width - x0);
      unsigned bits = 0;
      for (int k = 0; k < n; ++k) bits |= (s[4 * (x0 + k) + 3] < threshold ? 0x80u : 0u) >> k;
      const unsigned covered = (0xFF00u >> n) & 0xFFu;
      m[x0 >> 3] = static_cast<uint8_t>((m[x0 >> 3] & ~covered) | bits);
    }
  }
}

void MaskFromZeroAlpha(const TBitmap& src, TBitmap& mask, int level, bool keepExisting) {
  if (!keepExisting) {
    SetupOpaqueMask(mask, src.Width(), src.Height());
  } else if (mask.Width() != src.Width() || mask.Height() != src.Height()) {
    sizeMask(mask, src.Width(), src.Height());
  }
  if (src.Format() != PixelFormat::Bits32) return;
  for (int y = 0; y < src.Height(); ++y) {
    const uint8_t* s = src.ScanLine(y);
    for (int x = 0; x < src.Width(); ++x)
      if (s[4 * x + 3] <= level) setMask(mask, x, y, true);
  }
}

void ApplyAlphaMask(const TBitmap& src, TBitmap& dst, TBitmap& mask, bool keepWhite, int threshold) {
  if (src.Format() != PixelFormat::Bits32) return;
  if (mask.Width() != src.Width() || mask.Height() != src.Height()) sizeMask(mask, src.Width(), src.Height());
  const int w = std::min(src.Width(), dst.Width()), h = std::min(src.Height(), dst.Height());
  for (int y = 0; y < src.Height(); ++y) {
    const uint8_t* s = src.ScanLine(y);
    for (int x = 0; x < src.Width(); ++x, s += 4) {
      bool transparent = s[3] < threshold;
      setMask(mask, x, y, transparent);
      if (!transparent || x >= w || y >= h) continue;
      bool white = keepWhite && s[0] == 255 && s[1] == 255 && s[2] == 255 && s[3] == 0;
      dst.SetPixel(x, y, white ? kWhite : kBlack);
    }
  }
}

void MergeMask(const TBitmap& src, const TBitmap* mask, TBitmap& dst) {
  TBitmap out;
  SetupBitmap(out, src.Width(), src.Height(), PixelFormat::Bits32);
  if (src.Format() == PixelFormat::Bits32) {
    out = src;
  } else {
    std::vector<uint8_t> row(static_cast<size_t>(src.Width()) * 3);
    for (int y = 0; y < src.Height(); ++y) {
      ReadRow24(src, y, row.data());
      uint8_t* d = out.ScanLine(y);
      for (int x = 0; x < src.Width(); ++x, d += 4) {
        const uint8_t* s = row.data() + 3 * x;
        if (mask && MaskIsWhite(*mask, x, y)) {
          uint8_t v = s[0] == 255 && s[1] == 255 && s[2] == 255 ? 255 : 0;
          d[0] = d[1] = d[2] = v;
          d[3] = 0;
        } else {
          std::memcpy(d, s, 3);
          d[3] = 255;
        }
      }
    }
  }
  dst = std::move(out);
}

}  // namespace icofmt
