#pragma once
// The one in-memory raster every image passes through: a pixel format, a size,
// rows stored bottom-up and padded to 4 bytes, and a palette for formats of
// 8 bits per pixel or less. Rows are addressed in image coordinates (row 0 is
// the top row).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "pixels/colour.h"

namespace icofmt {

class TStream;

// The numbering is fixed: the codes are used in tables and as arguments.
enum class PixelFormat : int {
  Device = 0,
  Bits1 = 1,
  Bits4 = 2,
  Bits8 = 3,
  Bits15 = 4,
  Bits16 = 5,
  Bits24 = 6,
  Bits32 = 7,
  Custom = 8,
};

// 16 for Bits15 and Bits16, 0 for Device and Custom.
int BitsPerPixel(PixelFormat f);
// 2, 16, 256, 32768, 65536, 16777216; 0 for Device and Custom.
int64_t ColourCapacity(PixelFormat f);
// 1, 4, 8, 15, 16, 24, 32 to their formats; anything else gives Device.
PixelFormat PixelFormatForBits(int bits);
// ((width * bits + 31) div 32) * 4.
int64_t AlignedRowBytes(int64_t width, int bits);
// Size of a DIB info header with its colour table or masks.
int64_t DibHeaderSize(int bitCount, uint32_t coloursUsed, uint32_t compression);
// 0x00BBGGRR <-> 0x00RRGGBB for each entry; the top byte is cleared.
void SwapRedBlue(uint32_t* entries, int count);

class TBitmap {
 public:
  TBitmap() = default;
  virtual ~TBitmap() = default;
  TBitmap(const TBitmap&) = default;
  TBitmap& operator=(const TBitmap&) = default;
  TBitmap(TBitmap&&) = default;
  TBitmap& operator=(TBitmap&&) = default;

  PixelFormat Format() const { return format_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Empty() const { return width_ == 0 || height_ == 0; }
  int64_t RowBytes() const { return rowBytes_; }
  int Bits() const { return BitsPerPixel(format_); }
  bool Paletted() const { return Bits() <= 8; }

  // Switches the format, keeping every pixel's colour (nearest palette colour
  // for a paletted format; alpha of a new 32-bit bitmap is 0). Device and
  // Custom hold no layout of their own here and become Bits24. A switch to
  // Bits1, Bits4 or Bits8 installs the default palette of that depth.
  void SetPixelFormat(PixelFormat f);
  // Sets the size; the pixels that remain keep their place from the top-left,
  // new pixels are 0. Throws InvalidImage for a negative side or a raster that
  // does not fit the memory limit.
  void SetSize(int width, int height);

  const ColourList& Palette() const { return palette_; }
  // The palette takes at most the format's capacity of entries; pixel indices
  // are untouched.
  void SetPalette(const ColourList& colours);

  uint8_t* ScanLine(int y) { return data_.data() + static_cast<size_t>(height_ - 1 - y) * rowBytes_; }
  const uint8_t* ScanLine(int y) const {
    return data_.data() + static_cast<size_t>(height_ - 1 - y) * rowBytes_;
  }
  // All rows as stored, bottom row first.
  uint8_t* Data() { return data_.data(); }
  const uint8_t* Data() const { return data_.data(); }
  size_t ByteSize() const { return data_.size(); }

  // Palette index of a paletted pixel (0 for other formats).
  int GetIndex(int x, int y) const;
  void SetIndex(int x, int y, int index);
  // The pixel's colour; alpha plays no part. An index past the palette reads
  // as black.
  Colour GetPixel(int x, int y) const;
  // Writes the colour (the nearest palette entry in a paletted bitmap); the
  // alpha byte of a 32-bit pixel is left as it was.
  void SetPixel(int x, int y, Colour c);

  // Ordinary BMP streams in the bitmap's own format (bmp_codec.h).
  virtual void SaveToStream(TStream& stream) const;
  virtual void LoadFromStream(TStream& stream);

 private:
  PixelFormat format_ = PixelFormat::Bits24;
  int width_ = 0;
  int height_ = 0;
  int64_t rowBytes_ = 0;
  std::vector<uint8_t> data_;
  ColourList palette_;
};

// A new mask bitmap: 1 x 1, Bits1, palette black then white, its pixel white.
TBitmap NewMaskBitmap();
void MakeMaskBitmap(TBitmap& bmp);
// Bits1 through MakeMaskBitmap, any other format by switching to it; then the size.
void SetupBitmap(TBitmap& bmp, int width, int height, PixelFormat f);
void SetupFilledBitmap(TBitmap& bmp, int width, int height, PixelFormat f, Colour c);
void ResizeAndFill(TBitmap& bmp, int width, int height, Colour c);
// Every pixel takes the colour (colour bytes only in a 32-bit bitmap); NoColour sets nothing.
void FillBitmap(TBitmap& bmp, Colour c);
TBitmap CreateWorkBitmap(PixelFormat f, int width, int height, Colour c);
// Bits32 of the size with every pixel the raw 32-bit value (0xAARRGGBB).
void SetupBitmap32(TBitmap& bmp, int width, int height, uint32_t value);
// Equal sizes and equal 24-bit colour everywhere.
bool SameImage(const TBitmap& a, const TBitmap& b);

// Draws src into dst at the top-left, over the area both cover: colours are
// copied exactly into 15-, 16-, 24- and 32-bit destinations (the alpha byte of
// a 32-bit destination is kept) and mapped to the nearest palette colour
// (squared distance, lowest index wins a tie) in paletted ones.
void DrawBitmap(const TBitmap& src, TBitmap& dst);
// One image row as B, G, R bytes (alpha plays no part); out holds 3 * width bytes.
void ReadRow24(const TBitmap& bmp, int y, uint8_t* out);
// A Bits24 copy of the bitmap.
TBitmap ToBits24(const TBitmap& src);

}  // namespace icofmt
