#pragma once
// The PNG files we keep (images stored in an icon, the files icohost writes
// for the user) are written here: rows filtered as libpng filters them by
// default, compressed with libdeflate, in chunks of our own. libpng's zlib
// at its default level took 20 to 40 ms for a 256 x 256 RGBA image; this
// takes a few, for a file at most a few per cent larger (docs/architecture.md,
// Speed). The bytes depend only on the pixels and the level, so every
// platform writes the same file.
#include <cstdint>
#include <vector>

namespace icofmt::pngdeflate {

struct Spec {
  uint32_t width = 0;
  uint32_t height = 0;
  int bitDepth = 8;    // 1, 2, 4 or 8; 8 for every type but palette and grey
  int colourType = 6;  // PNG's: 0 grey, 2 RGB, 3 palette, 4 grey+alpha, 6 RGBA
  // Palette as red, green, blue triplets, and its alpha values (tRNS).
  const uint8_t* palette = nullptr;
  int paletteCount = 0;
  const uint8_t* alpha = nullptr;
  int alphaCount = 0;
};

// The level libdeflate compresses kept PNGs at: the fastest that stays
// within a few per cent of zlib's default on photographs and drawings.
inline constexpr int kKeptLevel = 6;

// Writes a non-interlaced PNG of `rows`: one byte per sample, each below
// 2^bitDepth, rows of width * channels bytes. Palette and sub-byte images
// are written unfiltered and the others, when `filtered`, with a filter
// chosen per row by the smallest sum of absolute values, as libpng does.
// Level 0 stores the rows uncompressed: for a file read back at once.
// Throws std::bad_alloc.
std::vector<uint8_t> writePng(const Spec& spec, const uint8_t* const* rows, int level = kKeptLevel,
                              bool filtered = true);

}  // namespace icofmt::pngdeflate
