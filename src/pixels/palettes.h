#pragma once
// The module's fixed palettes and the operations on colour lists and bitmap
// palettes that the conversions share.
#include <array>

#include "pixels/bitmap.h"
#include "pixels/colour.h"

namespace icofmt {

// Black, white: also the palette of every mask bitmap.
extern const std::array<Colour, 2> StandardPalette2;
// The 16 standard colours, silver at 8 and gray at 7.
extern const std::array<Colour, 16> StandardPalette16;
// The 16 standard colours in the system order, 20 greys, four pale system
// colours and 18 hue ramps of 12.
extern const std::array<Colour, 256> DefaultPalette256;

ColourList standardPalette2List();
ColourList standardPalette16List();
ColourList defaultPalette256List();

// One of the 16 colours of StandardPalette16.
bool IsStandardColour(Colour c);
// Index of the nearest colour (first strictly smaller squared distance), -1 for an empty list.
int NearestColourIndex(const ColourList& list, Colour c);
// White, then black, replace their nearest entries when absent; true when the list changed.
bool EnsureBlackAndWhite(ColourList& list);
// Sets the list to the length (new entries black), then writes DefaultPalette256
// colours absent from the list into the new entries in table order.
void FillFromDefaultPalette(ColourList& list, int length);
// The destination's palette from the source palette, topped up from
// DefaultPalette256 to the destination's capacity; nothing above Bits8.
void CompletePalette(TBitmap& dst, const ColourList& sourcePalette, bool ensureBlackAndWhite);

// The bitmap's palette becomes the list's colours in order; indices untouched.
void ApplyPalette(TBitmap& bmp, const ColourList& list);
// Bits1, Bits4, Bits8 get StandardPalette2, StandardPalette16, DefaultPalette256.
void ApplyDefaultPalette(TBitmap& bmp);
void ApplyStandardPalette2(TBitmap& bmp);
void ApplyStandardPalette16(TBitmap& bmp);
// The first count entries become the colours (the palette grows to count when
// shorter, up to the format's capacity); nothing above Bits8.
void ReplacePaletteEntries(TBitmap& bmp, const Colour* colours, int count);

}  // namespace icofmt
