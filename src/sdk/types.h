#pragma once
// Base types of the published host interface, as the host and every format
// module in the same process see them.
#include <cstdint>

namespace icofmt::sdk {

using Boolean = std::uint8_t;
using OSType = std::uint32_t;
using ResType = std::uint32_t;
using PIType = std::uint32_t;
using OSErr = std::int16_t;
using Fixed = std::int32_t;
using Ptr = char*;
using Handle = char**;
using Str255 = unsigned char[256];
using LookUpTable = std::uint8_t[256];
using PlaneMap = std::int16_t[16];
using SPBoolean = std::int32_t;

// Four-character codes are integers whose first character is the most
// significant byte: '8BIM' == 0x3842494D.
constexpr OSType fourCC(const char (&s)[5]) {
  return (static_cast<OSType>(static_cast<unsigned char>(s[0])) << 24) |
         (static_cast<OSType>(static_cast<unsigned char>(s[1])) << 16) |
         (static_cast<OSType>(static_cast<unsigned char>(s[2])) << 8) |
         static_cast<OSType>(static_cast<unsigned char>(s[3]));
}

struct Point {
  std::int16_t v;  // row first
  std::int16_t h;
};

struct Rect {
  std::int16_t top, left, bottom, right;
};

struct VPoint {
  std::int32_t v, h;
};

struct VRect {
  std::int32_t top, left, bottom, right;
};

struct PlugInMonitor {
  Fixed gamma, redX, redY, greenX, greenY, blueX, blueY, whiteX, whiteY, ambient;
};

// Windows FSSpec: the name is a length-prefixed string holding
// the path.
struct FSSpec {
  std::int16_t unused;
  std::int16_t padding;
  std::int32_t parID;
  Str255 name;
};
static_assert(sizeof(FSSpec) == 264);

}  // namespace icofmt::sdk
