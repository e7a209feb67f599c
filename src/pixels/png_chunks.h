#pragma once
// A look at a PNG's chunks, without libpng and without decompressing: used
// to hand on a stored PNG's image data as it is.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace icofmt {

// Where the parts of a non-interlaced PNG of 8-bit samples, RGBA, grey with
// alpha or RGB, lie: its IHDR chunk (first, whole, CRC right) and the run of
// IDAT chunks from the first one. imageData is where the first IDAT chunk's
// data begins; channels is 4, 2 or 3. 0 in every field when the PNG is no
// such image or has no IDAT chunk.
struct StoredLayout {
  size_t idatStart = 0;  // the first IDAT chunk's length field
  size_t idatEnd = 0;    // after the last IDAT chunk of the run
  size_t imageData = 0;
  int channels = 0;
};
StoredLayout storedLayout(std::span<const uint8_t> png);

// The PNG of the same image data with nothing but IHDR, the IDAT run and
// IEND: no gamma, chromaticity, profile, significant bits, background or
// text chunk, so that a viewer shows the samples as they are, as it shows a
// PNG we encode from them. Its three parts, to be written one after the
// other; the first two lie in png.
std::array<std::span<const uint8_t>, 3> imageDataOnly(std::span<const uint8_t> png,
                                                      const StoredLayout& layout);

}  // namespace icofmt
