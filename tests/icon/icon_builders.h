#pragma once
// Hand-built icon files for the format tests: bitmap-form blocks, PNG blocks
// and whole files with directory entries exactly as a test wants them.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/byte_reader.h"
#include "base/checked.h"

namespace icotest {

using Bytes = std::vector<uint8_t>;

inline void put16(Bytes& b, uint16_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void put32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline void putBE32(Bytes& b, uint32_t v) {
  for (int i = 3; i >= 0; --i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

struct BlockSpec {
  int32_t width = 16;
  int32_t height = 16;  // image height; the header holds twice this
  uint16_t planes = 1;
  uint16_t bitCount = 32;
  uint32_t clrUsed = 0;
  uint32_t compression = 0;
  uint8_t seed = 1;  // pixel bytes are seed, seed + 1, ...
};

// A bitmap-form block: header, palette, colour bits, mask.
inline Bytes bitmapBlock(const BlockSpec& s) {
  Bytes b;
  put32(b, 40);
  put32(b, static_cast<uint32_t>(s.width));
  put32(b, static_cast<uint32_t>(s.height) * 2);
  put16(b, s.planes);
  put16(b, s.bitCount);
  put32(b, s.compression);
  const uint64_t bits = uint64_t{s.planes} * s.bitCount;
  const uint64_t w = static_cast<uint32_t>(s.width), h = static_cast<uint32_t>(std::abs(s.height));
  const uint64_t colourSize = icofmt::rowSize(w, bits) * h;
  const uint64_t maskSize = icofmt::rowSize(w, 1) * h;
  put32(b, static_cast<uint32_t>(colourSize + maskSize));
  put32(b, 0);
  put32(b, 0);
  put32(b, s.clrUsed);
  put32(b, 0);
  if (bits <= 8) {
    const uint32_t n = s.clrUsed ? s.clrUsed : (1u << bits);
    for (uint32_t i = 0; i < n; ++i) put32(b, i * 0x010101u);
  } else if (s.compression & 3) {
    put32(b, 0xFF0000);
    put32(b, 0x00FF00);
    put32(b, 0x0000FF);
  }
  uint8_t v = s.seed;
  for (uint64_t i = 0; i < colourSize; ++i) b.push_back(v++);
  for (uint64_t i = 0; i < maskSize; ++i) b.push_back(static_cast<uint8_t>(i & 1 ? 0xF0 : 0x0F));
  return b;
}

// The smallest PNG header that the format code looks at: signature and IHDR.
inline Bytes pngBlock(uint32_t w, uint32_t h, uint8_t depth = 8, uint8_t colourType = 6) {
  Bytes b = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
  putBE32(b, 13);
  for (char c : std::string("IHDR")) b.push_back(static_cast<uint8_t>(c));
  putBE32(b, w);
  putBE32(b, h);
  b.insert(b.end(), {depth, colourType, 0, 0, 0});
  putBE32(b, 0x12345678);                                             // checksum, not checked here
  for (int i = 0; i < 30; ++i) b.push_back(static_cast<uint8_t>(i));  // stands in for the rest
  return b;
}

struct EntrySpec {
  Bytes block;
  uint8_t width = 0, height = 0, colorCount = 0, reserved = 0;
  uint16_t planes = 0, bitCount = 0;
  // When set, override the Size or Offset written into the directory.
  int64_t size = -1;
  int64_t offset = -1;
};

// A file: header, directory, blocks in order right after it.
inline Bytes iconFile(const std::vector<EntrySpec>& entries, uint16_t type = 1, uint16_t reserved = 0) {
  Bytes f;
  put16(f, reserved);
  put16(f, type);
  put16(f, static_cast<uint16_t>(entries.size()));
  uint32_t at = 6 + 16 * static_cast<uint32_t>(entries.size());
  for (const auto& e : entries) {
    f.insert(f.end(), {e.width, e.height, e.colorCount, e.reserved});
    put16(f, e.planes);
    put16(f, e.bitCount);
    put32(f, e.size >= 0 ? static_cast<uint32_t>(e.size) : static_cast<uint32_t>(e.block.size()));
    put32(f, e.offset >= 0 ? static_cast<uint32_t>(e.offset) : at);
    at += static_cast<uint32_t>(e.block.size());
  }
  for (const auto& e : entries) f.insert(f.end(), e.block.begin(), e.block.end());
  return f;
}

}  // namespace icotest
