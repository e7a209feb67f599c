#pragma once
// Small builders shared by the pixel tests.
#include <cstdint>
#include <random>

#include "pixels/bitmap.h"

namespace icofmt::test {

inline TBitmap make32(int w, int h, uint32_t value = 0) {
  TBitmap b;
  SetupBitmap32(b, w, h, value);
  return b;
}

inline void put32(TBitmap& b, int x, int y, Colour c, uint8_t alpha) {
  uint8_t* p = b.ScanLine(y) + 4 * x;
  storeBgr(p, c);
  p[3] = alpha;
}

inline uint8_t alphaAt(const TBitmap& b, int x, int y) { return b.ScanLine(y)[4 * x + 3]; }

inline TBitmap random32(int w, int h, uint32_t seed, uint32_t colourMask = 0xFFFFFF, int alphaMode = 0) {
  std::mt19937 rng(seed);
  TBitmap b = make32(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t a = alphaMode == 0 ? 255 : static_cast<uint8_t>(rng());
      put32(b, x, y, rng() & colourMask, a);
    }
  return b;
}

}  // namespace icofmt::test
