#pragma once
// PNG files made and read with libpng directly, as the independent side of
// the comparisons: generated test images, and decodes to 8-bit RGBA without
// gamma correction.
#include <cstdint>
#include <string>
#include <vector>

namespace icofmt::test {

struct RawPng {
  int width = 0, height = 0;
  int colourType = 0, bitDepth = 8;
  bool interlaced = false;
  // Samples at the file's bit depth, one value per sample (16-bit as is).
  std::vector<std::uint16_t> samples;
  std::vector<std::uint8_t> palette;  // RGB triples
  std::vector<std::uint8_t> trns;     // palette alpha
  bool keyColour = false;             // grey or RGB tRNS
  std::uint16_t key[3] = {0, 0, 0};
};

// Encodes with libpng; empty on failure.
std::vector<std::uint8_t> encodeRaw(const RawPng& raw);
// Decodes with libpng to RGBA rows; false for a file libpng rejects.
bool decodeRgba(const std::vector<std::uint8_t>& file, int& width, int& height,
                std::vector<std::uint8_t>& rgba);

}  // namespace icofmt::test
