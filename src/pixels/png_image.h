#pragma once
// A PNG image in memory: the header's colour type and bit depth, the palette,
// the transparency chunk and the samples, decoded from and encoded to PNG
// bytes. This is the only place that talks to libpng (png_image.cpp), and the
// limits below hold for every decode: no side above limits::kPngSideMax,
// checked at the header before any row exists; text, iCCP and sPLT chunks
// are discarded unread; libpng's own allocations are capped. The carried PNG
// module decodes and encodes through this class too.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "pixels/bitmap.h"
#include "pixels/colour.h"

namespace icofmt {

class TStream;

enum class PngColourType : int { Grey = 0, Rgb = 2, Palette = 3, GreyAlpha = 4, Rgba = 6 };
enum class PngDecoder { Fastest, LibpngOnly };

// What a PNG's chunks before its image data say, as the decoder reads them.
struct PngHeader {
  int width = 0;
  int height = 0;
  PngColourType colourType = PngColourType::Rgba;
  int bitDepth = 8;
  bool interlaced = false;
  bool hasTransparency = false;  // a tRNS chunk
};

class PngImage {
 public:
  PngImage() = default;

  // Decodes a whole PNG file. Throws InvalidImage (with libpng's reason) for
  // malformed data or data beyond the limits; the object is then unchanged.
  // Non-interlaced 8-bit images are inflated by libdeflate when their image
  // data is whole and sound (png_inflate.h), anything else by libpng;
  // LibpngOnly makes libpng decode every image (the tests compare the two).
  void LoadFromMemory(std::span<const uint8_t> bytes, PngDecoder decoder = PngDecoder::Fastest);
  // Reads the chunks before the image data only, with the checks and limits
  // of LoadFromMemory up to there; nothing is decompressed. Throws as
  // LoadFromMemory does for what it reads. A PNG that passes may still fail
  // to decode where its image data is damaged.
  static PngHeader ReadHeader(std::span<const uint8_t> bytes);
  // Reads the stream from its position to its end and decodes that.
  void LoadFromStream(TStream& stream);

  // An image to encode; samples are zero. Palette and grey images take bit
  // depth 1, 2, 4 or 8; the others 8. Grey samples stay 8-bit here, as on
  // decoding, and keep their high bits when written at a lower depth.
  void Create(int width, int height, PngColourType type, int bitDepth = 8);
  // Whether Encode writes the rows interlaced.
  void SetInterlaced(bool interlaced) { interlaced_ = interlaced; }
  // Encodes; compressionLevel is zlib's 0..9 (-1: libpng's default).
  std::vector<uint8_t> Encode(int compressionLevel = -1) const;
  // Encodes for a file that is read back at once and never kept: stored
  // without compression or row filters (pngdeflate at level 0). Measured on
  // 256 x 256 RGBA, encoding and decoding that takes a twentieth of the time
  // of zlib's level 1 and a hundredth of its default; the file, the size of
  // the pixels, lives only in the page cache.
  std::vector<uint8_t> EncodeTemporary() const;
  void SaveToStream(TStream& stream, int compressionLevel = -1) const;
  void SaveToFile(const std::string& path, int compressionLevel = -1) const;

  int Width() const { return width_; }
  int Height() const { return height_; }
  // As in the file's header.
  PngColourType ColourType() const { return type_; }
  int BitDepth() const { return bitDepth_; }
  bool Interlaced() const { return interlaced_; }

  // Samples as held: 8 bits each (16-bit files keep the high byte), one byte
  // per palette index whatever the bit depth, and a grey or RGB image with a
  // transparency chunk gains an alpha channel. Channels(): 1 palette or grey,
  // 2 grey+alpha, 3 RGB, 4 RGBA (R, G, B, A order).
  int Channels() const { return channels_; }
  uint8_t* Row(int y) { return samples_.data() + static_cast<size_t>(y) * RowLength(); }
  const uint8_t* Row(int y) const { return samples_.data() + static_cast<size_t>(y) * RowLength(); }
  size_t RowLength() const { return static_cast<size_t>(width_) * static_cast<size_t>(channels_); }

  // Palette colours (0x00BBGGRR) of a palette image.
  const ColourList& Palette() const { return palette_; }
  void SetPalette(const ColourList& colours) { palette_ = colours; }
  // The transparency chunk of a palette image: alpha per palette index.
  bool HasTransparency() const { return hasTransparency_; }
  const std::vector<uint8_t>& Transparency() const { return transparency_; }
  void SetTransparency(const std::vector<uint8_t>& alpha) {
    transparency_ = alpha;
    hasTransparency_ = !alpha.empty();
  }

  // Whether some pixel's alpha is other than 0 (true without alpha).
  bool AnyAlpha() const;
  // RGBA of one pixel by the rules above (alpha 255 where there is none).
  void PixelRgba(int x, int y, uint8_t rgba[4]) const;
  // The image as a bitmap: Bits32 (straight alpha) when it has alpha or a
  // palette with transparency, Bits8 for other palette images, else Bits24.
  TBitmap ToBitmap() const;
  // Bits32 becomes RGBA, paletted formats a palette image of their depth,
  // anything else RGB.
  static PngImage FromBitmap(const TBitmap& bmp);
  // Blends the image over dst with its top-left at (x, y), straight alpha:
  // each channel (s * a + d * (255 - a) + 127) / 255; a 32-bit destination's
  // alpha becomes a + d_alpha * (255 - a) / 255, rounded the same way.
  void Draw(TBitmap& dst, int x, int y) const;

 private:
  std::vector<uint8_t> encode(int compressionLevel, bool unfiltered) const;

  int width_ = 0;
  int height_ = 0;
  PngColourType type_ = PngColourType::Rgba;
  int bitDepth_ = 8;
  bool interlaced_ = false;
  int channels_ = 4;
  std::vector<uint8_t> samples_;
  ColourList palette_;
  bool hasTransparency_ = false;
  std::vector<uint8_t> transparency_;
};

// Splits a decoded PNG into a colour bitmap and a mask: grey+alpha at 8 bits
// and palette images by the threshold (palette images reduced again when
// transparent pixels find no black entry), anything else through ToBitmap
// with alpha 0 as the only transparency.
void SplitPng(const PngImage& png, TBitmap& colour, TBitmap& mask, int threshold);

}  // namespace icofmt
