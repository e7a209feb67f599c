#pragma once
// Palette construction and the palette work of icon images.
#include "pixels/bitmap.h"
#include "pixels/colour.h"

namespace icofmt {

// dst becomes Bits8 of src's size with a palette of at most maxColours
// (above 256 taken as 256) built from src: the seeds (black, white), the
// bottom-left pixel, then every colour when they fit, else the first of the
// 7-, 6- and 5-bit lists that fits, else the most populous cells of a
// 33 x 33 x 33 histogram; pixels map to the nearest entry, and pixels of a
// Bits32 source with alpha below the threshold to index 0. A source that is
// not Bits24 or Bits32 is read as its 24-bit colours (src itself is untouched).
void ReduceTo8Bit(const TBitmap& src, TBitmap& dst, bool seedBlackAndWhite, int alphaThreshold,
                  int maxColours);

// 32 for anything but Bits1/4/8; else 1 (black and white only), 4 (standard
// colours only) or 8.
int ChooseAutomaticDepth(const TBitmap& bmp);
// Appends the bitmap's distinct 24-bit colours, scanning from the top row;
// false as soon as a new colour meets a list of limit entries.
bool CollectColours(const TBitmap& bmp, ColourList& list, int limit);
// An exact 8-bit palette when src has at most 256 colours (254 beside the
// seeds); false otherwise, with dst's pixels then partly written.
bool ExactPalette8(const TBitmap& src, TBitmap& dst, bool seedBlackAndWhite, bool fillFromDefault);
// Frees palette index 0 for the transparent colour (merging the two closest
// entries when all 256 are used) and moves every pixel under a white mask
// pixel to it. Returns 0, or -1 for a bitmap without palette (left unchanged).
int ReserveTransparentIndex(TBitmap& bmp, const TBitmap& mask, Colour transparent);
// Bits8 only: pixels under white mask pixels take the index of the colour (0 when absent).
void MarkTransparentPixels(TBitmap& bmp, const TBitmap& mask, Colour c);

// Whether the mask pixel is white (transparent); pixels outside the mask are not.
bool MaskIsWhite(const TBitmap& mask, int x, int y);

}  // namespace icofmt
