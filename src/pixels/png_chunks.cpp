#include "pixels/png_chunks.h"

#include <libdeflate.h>

#include <cstring>

namespace icofmt {

namespace {

uint32_t u32be(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

bool isType(const uint8_t* type, const char* name) { return std::memcmp(type, name, 4) == 0; }

}  // namespace

PlainPng plainRgba8Png(std::span<const uint8_t> png) {
  static const uint8_t kSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
  if (png.size() < 8 || std::memcmp(png.data(), kSignature, 8) != 0) return {};
  size_t at = 8;
  bool first = true;
  size_t imageData = 0;
  while (png.size() - at >= 12) {
    const uint32_t length = u32be(png.data() + at);
    if (length > png.size() - at - 12) return {};
    const uint8_t* type = png.data() + at + 4;
    const uint8_t* data = type + 4;
    if (libdeflate_crc32(0, type, length + 4) != u32be(data + length)) return {};
    const size_t next = at + 12 + length;
    if (first) {
      // IHDR: 8-bit (data[8]) RGBA (6), compression, filter and interlace 0.
      if (!isType(type, "IHDR") || length != 13 || data[8] != 8 || data[9] != 6 || data[10] != 0 ||
          data[11] != 0 || data[12] != 0)
        return {};
      first = false;
    } else if (isType(type, "IDAT")) {
      if (imageData == 0) imageData = at + 8;
    } else if (isType(type, "IEND")) {
      return imageData != 0 && length == 0 ? PlainPng{next, imageData} : PlainPng{};
    } else if (!isType(type, "tEXt") && !isType(type, "zTXt") && !isType(type, "iTXt") &&
               !isType(type, "tIME") && !isType(type, "pHYs")) {
      return {};
    }
    at = next;
  }
  return {};
}

}  // namespace icofmt
