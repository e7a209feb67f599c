#pragma once
// Conversion of a colour bitmap and its mask into another pixel format.
#include "pixels/bitmap.h"

namespace icofmt {

// dst holds src in the target format and dstMask (when given) its mask. A
// Bits32 source takes its mask from alpha (alpha < threshold is transparent,
// its colour black, or white under keepWhite) and ignores srcMask; any other
// source's mask is copied (all black when there is none). Paletted targets
// get StandardPalette2, StandardPalette16 or a palette built by ReduceTo8Bit
// (a 1- or 4-bit source keeps its palette, completed). No dithering. src and
// dst, or the two masks, may be the same object.
void ConvertBitmap(const TBitmap& src, const TBitmap* srcMask, TBitmap& dst, TBitmap* dstMask,
                   PixelFormat target, int alphaThreshold, bool keepWhite);

}  // namespace icofmt
