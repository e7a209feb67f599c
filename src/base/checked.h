#pragma once
// Size arithmetic for everything read from a file: no wrap, ever. Every row
// size, image size and buffer size goes through these.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>

namespace icofmt {

inline std::optional<uint64_t> checkedMul(uint64_t a, uint64_t b) {
  uint64_t r;
  if (__builtin_mul_overflow(a, b, &r)) return std::nullopt;
  return r;
}

// Bytes of one pixel row padded to 4 bytes: ((width * bits + 31) / 32) * 4.
// Computed in 64 bits, so any 32-bit width and bit count fit.
constexpr uint64_t rowSize(uint64_t width, uint64_t bitsPerPixel) {
  return ((width * bitsPerPixel + 31) / 32) * 4;
}

// Whether [offset, offset + size) lies within total, written so it cannot wrap.
constexpr bool rangeFits(uint64_t offset, uint64_t size, uint64_t total) {
  return offset <= total && size <= total - offset;
}

}  // namespace icofmt
