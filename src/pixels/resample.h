#pragma once
// Scaling pictures down: the smaller sizes of an icon made from one picture,
// and a picture too large for an icon brought within it.
#include <cstdint>
#include <vector>

#include "pixels/bitmap.h"

namespace icofmt {

// Straight RGBA, 8 bits a sample, rows top to bottom without padding.
struct RgbaPicture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;
};

// src scaled to width x height (each at least 1) with a high-quality filter,
// in linear light and with premultiplied alpha, so that colour under
// transparent pixels never reaches the result (pixels that end up fully
// transparent are 0 in every sample). The same bytes on every build. Throws
// std::bad_alloc when the work buffers cannot be had.
RgbaPicture ResampleRgba(const RgbaPicture& src, int width, int height);

// The largest size within maxWidth x maxHeight of a w x h picture's shape,
// each side at least 1.
void FitWithin(int w, int h, int maxWidth, int maxHeight, int& fitWidth, int& fitHeight);

// The icon image of one smaller size: the picture of src (a white mask pixel
// is transparent; a Bits32 source carries its own alpha) scaled to fit a
// side x side square, keeping its shape, centred on a transparent canvas.
// bitmap becomes Bits32 and mask the mask of its zero alpha.
void ScaleToIconSquare(const TBitmap& src, const TBitmap* srcMask, int side, TBitmap& bitmap, TBitmap& mask);

}  // namespace icofmt
