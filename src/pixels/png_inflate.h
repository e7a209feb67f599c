#pragma once
// The image data of the PNGs we read most (non-interlaced, 8-bit samples),
// inflated by libdeflate and unfiltered here: two to three times faster than
// libpng's row by row inflate with zlib. Only a PNG whose image data this
// decodes completely and exactly (every IDAT CRC right, a zlib stream with
// the full window whose check value holds, exactly the bytes the rows need,
// every filter type known) is decoded here; anything else is left to libpng,
// so libpng's verdict stands on every damaged file and the samples are the
// same bytes either way.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace icofmt::pnginflate {

// `at` is where the first IDAT chunk's data begins (after its length and
// type); rows of width * channels bytes go to out, top to bottom. False when
// libpng is to decode the image instead (out is then unspecified).
bool inflateRows(std::span<const uint8_t> png, size_t at, uint32_t width, uint32_t height, int channels,
                 uint8_t* out);

// For an image of 8-bit samples with alpha last (channels 2 or 4; at and the
// sides as above): whether any alpha sample is other than 0, unfiltering
// rows only until one is; true for 3 channels (no alpha) once the image data
// is found sound. None when inflateRows would leave the image to libpng.
std::optional<bool> anyAlpha8(std::span<const uint8_t> png, size_t at, uint32_t width, uint32_t height,
                              int channels);

}  // namespace icofmt::pnginflate
