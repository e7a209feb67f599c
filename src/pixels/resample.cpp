#include "pixels/resample.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "pixels/alpha.h"

// Pixels with no alpha at all must come out empty, not in the colour hidden
// under them.
#define STBIR_NO_ALPHA_EPSILON
#define STB_IMAGE_RESIZE_IMPLEMENTATION
#define STB_IMAGE_RESIZE_STATIC
#include <stb_image_resize.h>

namespace icofmt {

RgbaPicture ResampleRgba(const RgbaPicture& src, int width, int height) {
  RgbaPicture out;
  out.width = std::max(width, 1);
  out.height = std::max(height, 1);
  out.pixels.assign(static_cast<size_t>(out.width) * static_cast<size_t>(out.height) * 4, 0);
  if (src.width <= 0 || src.height <= 0) return out;
  // Catmull-Rom keeps the edges of drawn icons crisp at small sizes, where
  // the gentler default filters blur them; stb works on the samples in sRGB
  // through its tables, so no pow() of a C library decides a byte.
  const int done = stbir_resize_uint8_generic(
      src.pixels.data(), src.width, src.height, src.width * 4, out.pixels.data(), out.width, out.height,
      out.width * 4, 4, 3, 0, STBIR_EDGE_CLAMP, STBIR_FILTER_CATMULLROM, STBIR_COLORSPACE_SRGB, nullptr);
  if (done == 0) throw std::bad_alloc();
  return out;
}

void FitWithin(int w, int h, int maxWidth, int maxHeight, int& fitWidth, int& fitHeight) {
  if (w <= 0 || h <= 0 || (w <= maxWidth && h <= maxHeight)) {
    fitWidth = std::max(w, 1);
    fitHeight = std::max(h, 1);
    return;
  }
  // Whichever side meets its limit first sets the scale; the other rounds.
  if (int64_t{w} * maxHeight >= int64_t{h} * maxWidth) {
    fitWidth = maxWidth;
    fitHeight = static_cast<int>((int64_t{h} * maxWidth * 2 + w) / (2 * int64_t{w}));
  } else {
    fitHeight = maxHeight;
    fitWidth = static_cast<int>((int64_t{w} * maxHeight * 2 + h) / (2 * int64_t{h}));
  }
  fitWidth = std::max(fitWidth, 1);
  fitHeight = std::max(fitHeight, 1);
}

void ScaleToIconSquare(const TBitmap& src, const TBitmap* srcMask, int side, TBitmap& bitmap, TBitmap& mask) {
  TBitmap merged;
  MergeMask(src, srcMask, merged);
  RgbaPicture picture;
  picture.width = merged.Width();
  picture.height = merged.Height();
  picture.pixels.resize(static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height) * 4);
  for (int y = 0; y < picture.height; ++y) {
    const uint8_t* in = merged.ScanLine(y);
    uint8_t* out = picture.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(picture.width) * 4;
    for (int x = 0; x < picture.width; ++x, in += 4, out += 4) {
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
      out[3] = in[3];
    }
  }
  int w = 0;
  int h = 0;
  FitWithin(picture.width, picture.height, side, side, w, h);
  const RgbaPicture scaled = ResampleRgba(picture, w, h);

  SetupBitmap32(bitmap, side, side, 0);
  const int left = (side - w) / 2;
  const int top = (side - h) / 2;
  for (int y = 0; y < h; ++y) {
    const uint8_t* in = scaled.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(w) * 4;
    uint8_t* out = bitmap.ScanLine(top + y) + static_cast<size_t>(left) * 4;
    for (int x = 0; x < w; ++x, in += 4, out += 4) {
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
      out[3] = in[3];
    }
  }
  MakeMaskBitmap(mask);
  MaskFromZeroAlpha(bitmap, mask, 0, false);
}

}  // namespace icofmt
