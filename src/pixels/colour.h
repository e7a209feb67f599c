#pragma once
// Colour values as every pixel operation takes and returns them: 0x00BBGGRR,
// red in the low byte. Lists of colours are plain vectors of these values.
#include <cstdint>
#include <vector>

namespace icofmt {

using Colour = uint32_t;
using ColourList = std::vector<Colour>;

inline constexpr Colour kBlack = 0x000000;
inline constexpr Colour kWhite = 0xFFFFFF;
// The absence of a colour: a fill or background of NoColour sets nothing.
inline constexpr Colour NoColour = 0x1FFFFFFF;

constexpr uint32_t redOf(Colour c) { return c & 0xFF; }
constexpr uint32_t greenOf(Colour c) { return (c >> 8) & 0xFF; }
constexpr uint32_t blueOf(Colour c) { return (c >> 16) & 0xFF; }
constexpr Colour makeColour(uint32_t r, uint32_t g, uint32_t b) { return r | (g << 8) | (b << 16); }

// Colour of a B, G, R byte triple as stored in 24- and 32-bit pixels.
inline Colour colourFromBgr(const uint8_t* p) { return makeColour(p[2], p[1], p[0]); }
inline void storeBgr(uint8_t* p, Colour c) {
  p[0] = static_cast<uint8_t>(blueOf(c));
  p[1] = static_cast<uint8_t>(greenOf(c));
  p[2] = static_cast<uint8_t>(redOf(c));
}

constexpr uint32_t squaredDistance(Colour a, Colour b) {
  int dr = static_cast<int>(redOf(a)) - static_cast<int>(redOf(b));
  int dg = static_cast<int>(greenOf(a)) - static_cast<int>(greenOf(b));
  int db = static_cast<int>(blueOf(a)) - static_cast<int>(blueOf(b));
  return static_cast<uint32_t>(dr * dr + dg * dg + db * db);
}

}  // namespace icofmt
