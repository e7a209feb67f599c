#pragma once
// An independent reading of PNG files for comparison: libpng's simplified
// interface, decoding to 8-bit RGBA without gamma correction, in this test
// file only (the library reaches libpng through png_image.cpp).
#include <cstddef>
#include <cstdint>
#include <vector>

namespace icofmt::pngsuite {

bool decodeRgba(const std::vector<uint8_t>& file, std::vector<uint8_t>& rgba);
uint32_t crc32(const uint8_t* data, size_t size);

}  // namespace icofmt::pngsuite
