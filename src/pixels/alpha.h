#pragma once
// Moving transparency between a 32-bit bitmap's alpha and a mask bitmap
// (1 bit per pixel, white = transparent). Alpha is straight everywhere.
#include "pixels/bitmap.h"

namespace icofmt {

// The alpha below which a pixel counts as transparent wherever an image
// with alpha becomes one with a mask: saving at 24 bits or less, unpacking a
// PNG entry, reducing a palette image whose transparency found no black.
inline constexpr int kAlphaThreshold = 80;

// Colour becomes Bits24 of src's size and mask (when given) a mask of that
// size: alpha below the threshold is a white mask pixel and black colour
// (white for the value 0x00FFFFFF under keepWhite); anything else keeps its
// colour unblended. A source that is not Bits32 counts as opaque.
void SplitAlpha(const TBitmap& src, TBitmap& colour, TBitmap* mask, bool keepWhite, int threshold);
// Bits32 sources only: mask pixels white where alpha < threshold, black elsewhere.
void MaskFromAlpha(const TBitmap& src, TBitmap& mask, int threshold);
// Pixels with alpha <= level become white; the others stay (black unless keepExisting).
void MaskFromZeroAlpha(const TBitmap& src, TBitmap& mask, int level, bool keepExisting);
// Pixels with alpha < threshold: white mask pixel and black (or keep-white
// white) in dst, which is Bits24 or paletted; others: black mask pixel, dst kept.
void ApplyAlphaMask(const TBitmap& src, TBitmap& dst, TBitmap& mask, bool keepWhite, int threshold);
// dst becomes Bits32: a Bits32 source as is; else colour with alpha 255, and
// under a white mask pixel alpha 0 with colour 0 (white stays 0x00FFFFFF).
void MergeMask(const TBitmap& src, const TBitmap* mask, TBitmap& dst);

// A mask of the size, all black (opaque).
void SetupOpaqueMask(TBitmap& mask, int width, int height);

}  // namespace icofmt
