#pragma once
// BMP files: the ordinary reader and writer, and TBitmapFix32, whose streams
// keep a 32-bit alpha channel.
#include "pixels/bitmap.h"

namespace icofmt {

class TStream;

// A BMP file begins with a 14-byte header that ends with the offset of its
// pixel data.
inline constexpr size_t kBmpFileHeaderSize = 14;
inline constexpr size_t kBmpPixelOffsetField = 10;

// Reads one BMP file from the stream's position: 1, 4, 8, 16 (5-5-5, 5-6-5,
// bit fields), 24 and 32 bits, uncompressed or bit fields, with a core, info,
// V4 or V5 header. Bit fields other than the plain layouts become Bits24, or
// Bits32 when they carry alpha. On success the stream is left after the pixel
// data; on failure (InvalidBitmap) bmp is unchanged.
void ReadBmp(TStream& stream, TBitmap& bmp);
// Writes a BMP file in the bitmap's own format: a 40-byte info header, the
// palette, 5-6-5 as bit fields, 32 bits as the 54-byte-header layout.
void WriteBmp(const TBitmap& bmp, TStream& stream);

// Alpha 0 everywhere in a Bits32 bitmap with pixels means no alpha: make it opaque.
void RepairZeroAlpha(TBitmap& bmp);

class TBitmapFix32 : public TBitmap {
 public:
  using TBitmap::TBitmap;
  TBitmapFix32() = default;
  explicit TBitmapFix32(const TBitmap& b) : TBitmap(b) {}

  void SaveToStream(TStream& stream) const override;
  // Trims 32-bit pixel data declared longer than the rows need, leaving the
  // stream at the end of the declared data, and repairs all-zero alpha.
  void LoadFromStream(TStream& stream) override;
};

}  // namespace icofmt
