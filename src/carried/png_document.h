#pragma once
// An image as a host holds it (mode, planes, lookup tables) and its exchange
// with PNG. The carried PNG module delivers and receives documents in this
// form, and the reference host keeps its documents in it, so both sides agree
// on what a mode means.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "pixels/png_image.h"

namespace icofmt::carried {

// Host image modes, as the host interface numbers them.
enum DocumentMode : int { kModeBitmap = 0, kModeGray = 1, kModeIndexed = 2, kModeRgb = 3 };

// Bit (1 << mode) for every mode a host accepts.
constexpr unsigned kAllModes =
    (1u << kModeBitmap) | (1u << kModeGray) | (1u << kModeIndexed) | (1u << kModeRgb);

struct Document {
  int mode = kModeRgb;
  int width = 0;
  int height = 0;
  // Channels including a transparency plane.
  int planes = 3;
  // The plane that holds transparency, or -1.
  int alphaPlane = -1;
  // Rows top to bottom. Bitmap: packed, first pixel in the most significant
  // bit, a set bit black, rows of (width + 7) / 8 bytes. Other modes: one
  // byte per sample, the planes of a pixel adjacent, width * planes per row.
  std::vector<std::uint8_t> pixels;
  // Indexed (and the grey ramp of Gray): the colour of each entry.
  std::array<std::uint8_t, 256> red{}, green{}, blue{};
  // Valid palette entries, counting the transparent one.
  int lutCount = 0;
  // The palette entry that stands for transparency, or -1.
  int transparentIndex = -1;

  std::size_t rowBytes() const;
  // Planes that carry colour: 1, or 3 for RGB.
  int colourPlanes() const { return mode == kModeRgb ? 3 : 1; }
  // The plane used as alpha when writing PNG: alphaPlane when it is past the
  // colour planes, else the first extra plane, else -1.
  int effectiveAlphaPlane() const;
};

// The mode a PNG is delivered in, given the modes a host accepts: 1-bit grey
// becomes Bitmap; a palette whose entries are opaque except at most one fully
// transparent entry becomes Indexed; other palettes become RGB with alpha;
// grey stays Gray. A mode the host lacks falls back towards RGB. With
// `transparency` false an alpha channel is still delivered, as a plain extra
// plane. Throws InvalidImage when the result would not fit a host's 16-bit
// image size.
Document documentFromPng(const PngImage& png, unsigned hostModes, bool transparency);

// The PNG of a document: 1-bit grey for Bitmap, grey or grey with alpha,
// a palette with a transparency chunk for a transparent index, RGB or RGBA.
// Throws InvalidImage for a document whose fields disagree with its pixels.
PngImage pngFromDocument(const Document& doc);

// Throws InvalidImage unless the fields describe a document of that size.
void validateDocument(const Document& doc);

}  // namespace icofmt::carried
