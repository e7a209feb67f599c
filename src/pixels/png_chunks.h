#pragma once
// A look at a PNG's chunks, without libpng and without decompressing: used
// to decide whether a stored PNG can be handed on as it is.
#include <cstddef>
#include <cstdint>
#include <span>

namespace icofmt {

// The length of the PNG up to the end of its IEND chunk when it is an 8-bit
// RGBA, non-interlaced PNG whose every chunk is whole with a right CRC and
// whose ancillary chunks say nothing about colour (only tEXt, zTXt, iTXt,
// tIME and pHYs besides IHDR, IDAT and IEND); else 0. A viewer shows such a
// file's samples as they are: no gamma, chromaticity, profile, significant
// bits or background to make it show other colours than the samples.
// Whether its image data decodes is not checked here.
// imageData is where the first IDAT chunk's data begins.
struct PlainPng {
  size_t length = 0;
  size_t imageData = 0;
};
PlainPng plainRgba8Png(std::span<const uint8_t> png);

}  // namespace icofmt
