#include "pixels/png_chunks.h"

#include <libdeflate.h>

#include <cstring>

namespace icofmt {

namespace {

constexpr size_t kIhdrChunk = 8 + 13 + 4;  // length and type, data, CRC

uint32_t u32be(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

}  // namespace

StoredLayout storedLayout(std::span<const uint8_t> png) {
  static const uint8_t kSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
  if (png.size() < 8 + kIhdrChunk || std::memcmp(png.data(), kSignature, 8) != 0) return {};
  const uint8_t* ihdr = png.data() + 8;
  // IHDR: 8-bit (data[8]) RGBA, grey with alpha or RGB (data[9]: 6, 4, 2),
  // compression, filter and interlace 0.
  const uint8_t* data = ihdr + 8;
  const int channels = data[9] == 6 ? 4 : data[9] == 4 ? 2 : data[9] == 2 ? 3 : 0;
  if (u32be(ihdr) != 13 || std::memcmp(ihdr + 4, "IHDR", 4) != 0 || data[8] != 8 || channels == 0 ||
      data[10] != 0 || data[11] != 0 || data[12] != 0 ||
      libdeflate_crc32(0, ihdr + 4, 17) != u32be(data + 13))
    return {};
  size_t at = 8 + kIhdrChunk;
  while (png.size() - at >= 12) {
    const uint32_t length = u32be(png.data() + at);
    if (length > png.size() - at - 12) return {};
    if (std::memcmp(png.data() + at + 4, "IDAT", 4) == 0) {
      StoredLayout layout;
      layout.channels = channels;
      layout.idatStart = at;
      layout.imageData = at + 8;
      while (png.size() - at >= 12 && std::memcmp(png.data() + at + 4, "IDAT", 4) == 0) {
        const uint32_t n = u32be(png.data() + at);
        if (n > png.size() - at - 12) return {};
        at += size_t{n} + 12;
      }
      layout.idatEnd = at;
      return layout;
    }
    at += size_t{length} + 12;
  }
  return {};
}

std::array<std::span<const uint8_t>, 3> imageDataOnly(std::span<const uint8_t> png,
                                                      const StoredLayout& layout) {
  static const uint8_t kIend[12] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
  return {png.subspan(0, 8 + kIhdrChunk), png.subspan(layout.idatStart, layout.idatEnd - layout.idatStart),
          std::span<const uint8_t>(kIend)};
}

}  // namespace icofmt
