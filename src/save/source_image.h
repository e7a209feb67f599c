#pragma once
// The source image of a save, built at WriteFinish from the captured pixels:
// a bitmap of the image's own kind and a one-bit mask (white = transparent),
// and the colour depth the options form proposes.
//
//   RGB      32 bits with the captured alpha; the mask from alpha 0.  Depth 32.
//   Gray     8 bits with the saved tables as palette; the mask from the
//   Indexed  carried module's PNG (alpha below 80). Depth 8, or for Indexed
//            1, 4 or 8 from the colours the pixels use.
//   Bitmap   1 bit, black and white; all opaque.  Depth 1.
//
// Every builder returns 0 when the source is built and -1 when it cannot be:
// a capture whose length is not the image's, an image beyond the host limits,
// too few planes for its mode, or a PNG that cannot be decoded. On -1 the
// bitmaps hold nothing usable and the save writes nothing.
#include <cstdint>
#include <span>
#include <vector>

#include "icon/typed_lists.h"
#include "pixels/bitmap.h"
#include "pixels/bmp_codec.h"
#include "platform/files.h"
#include "save/capture.h"
#include "save/host_image.h"

namespace icofmt::save {

// Alpha below this is transparent in the mask of a Gray or Indexed source.
inline constexpr int kPngMaskThreshold = 80;

struct SourceInputs {
  HostImage image;
  std::span<const std::uint8_t> capture;
  // Gray and Indexed: the colour tables saved at WriteStart and the PNG the
  // carried module wrote (pngReadBack).
  const ColourTables* tables = nullptr;
  std::span<const std::uint8_t> png;
};

// Builds the source by the image's mode. distinct, when given, receives the
// palette indices a Gray or Indexed image uses (see buildPaletteSource).
int buildSourceImage(const SourceInputs& in, TBitmapFix32& source, TBitmap& mask, int& proposedDepth,
                     TListByte* distinct = nullptr);

// The three builders. The RGB and bit builders set proposedDepth before
// they check the capture. An RGB image without a fourth plane is opaque.
int buildRgbSource(const HostImage& image, std::span<const std::uint8_t> capture, TBitmapFix32& source,
                   TBitmap& mask, int& proposedDepth);
// distinct: each index in order of first occurrence, a near-black entry
// (red, green and blue each at most 4) counted as the first pure-black one
// (255 when there is none).
int buildPaletteSource(const HostImage& image, std::span<const std::uint8_t> capture,
                       const ColourTables& tables, std::span<const std::uint8_t> png, TBitmapFix32& source,
                       TBitmap& mask, TListByte& distinct, int& proposedDepth);
int buildBitSource(const HostImage& image, std::span<const std::uint8_t> capture, TBitmapFix32& source,
                   TBitmap& mask, int& proposedDepth);

// The depth an Indexed image proposes from the indices it uses: 1 for none
// or exactly pure black and pure white, 4 when every colour is one of the 16
// standard colours, else 8.
int proposedIndexedDepth(const TListByte& distinct, const ColourTables& tables);

// The whole file behind the handle, from its start, into png (replaced only
// on success). False for an invalid handle, a file larger than any PNG of a
// 256 x 256 image can be, or a short read.
bool readBackPng(platform::FileHandle file, std::vector<std::uint8_t>& png);

}  // namespace icofmt::save
