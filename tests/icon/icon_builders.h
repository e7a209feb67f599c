#pragma once
// Hand-built icon files for the format tests: bitmap-form blocks, PNG blocks
// and whole files with directory entries exactly as a test wants them.
#include <zlib.h>

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

inline void pngChunk(Bytes& png, const char* type, const Bytes& data) {
  putBE32(png, static_cast<uint32_t>(data.size()));
  Bytes typed(type, type + 4);
  typed.insert(typed.end(), data.begin(), data.end());
  png.insert(png.end(), typed.begin(), typed.end());
  putBE32(png, static_cast<uint32_t>(crc32(0, typed.data(), static_cast<uInt>(typed.size()))));
}

// A PNG file from filtered-free rows of packed samples (each row without
// its filter byte), with an optional palette (RGB triples) and tRNS.
inline Bytes pngFile(uint32_t w, uint32_t h, uint8_t depth, uint8_t colourType,
                     const std::vector<Bytes>& rows, const Bytes& palette = {}, const Bytes& trns = {}) {
  Bytes raw;
  for (const auto& row : rows) {
    raw.push_back(0);
    raw.insert(raw.end(), row.begin(), row.end());
  }
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  Bytes z(size);
  compress(z.data(), &size, raw.data(), static_cast<uLong>(raw.size()));
  z.resize(size);
  Bytes png = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
  Bytes ihdr;
  putBE32(ihdr, w);
  putBE32(ihdr, h);
  ihdr.insert(ihdr.end(), {depth, colourType, 0, 0, 0});
  pngChunk(png, "IHDR", ihdr);
  if (!palette.empty()) pngChunk(png, "PLTE", palette);
  if (!trns.empty()) pngChunk(png, "tRNS", trns);
  pngChunk(png, "IDAT", z);
  pngChunk(png, "IEND", {});
  return png;
}

// An 8-bit RGBA PNG whose pixels are f(x, y) as 0xRRGGBBAA.
template <typename F>
Bytes rgbaPng(uint32_t w, uint32_t h, F f) {
  std::vector<Bytes> rows(h);
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) {
      const uint32_t c = f(x, y);
      for (int k = 0; k < 4; ++k) rows[y].push_back(static_cast<uint8_t>(c >> (24 - 8 * k)));
    }
  return pngFile(w, h, 8, 6, rows);
}

// A real RGBA PNG: a gradient with a transparent corner.
inline Bytes pngBlock(uint32_t w, uint32_t h) {
  return rgbaPng(w, h, [](uint32_t x, uint32_t y) {
    return (x < 4 && y < 4) ? 0u
                            : ((x & 0xFF) << 24 | (y & 0xFF) << 16 | 0x4000 | ((x + y) % 3 ? 0xFF : 0x50));
  });
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

namespace icotest {

// A bitmap-form block with chosen pixels: value(x, y) is the palette index
// (at most 8 bits per pixel), 0xRRGGBB (16 bits: 5-5-5 from it; 24 bits) or
// 0xAARRGGBB (32 bits); transparent(x, y) sets the mask bit. Row 0 is the top.
template <typename V, typename M>
Bytes pixelBlock(uint32_t w, uint32_t h, uint16_t bpp, const std::vector<uint32_t>& palette, V value,
                 M transparent) {
  Bytes b;
  put32(b, 40);
  put32(b, w);
  put32(b, 2 * h);
  put16(b, 1);
  put16(b, bpp);
  put32(b, 0);
  const uint64_t row = icofmt::rowSize(w, bpp), maskRow = icofmt::rowSize(w, 1);
  put32(b, static_cast<uint32_t>((row + maskRow) * h));
  put32(b, 0);
  put32(b, 0);
  put32(b, bpp <= 8 ? static_cast<uint32_t>(palette.size()) : 0);
  put32(b, 0);
  for (uint32_t c : palette) put32(b, c & 0xFFFFFF);  // 0x00RRGGBB as B, G, R, 0
  for (uint32_t y = h; y-- > 0;) {
    Bytes r(row, 0);
    for (uint32_t x = 0; x < w; ++x) {
      const uint32_t v = value(x, y);
      switch (bpp) {
        case 1:
          r[x / 8] |= static_cast<uint8_t>((v & 1) << (7 - x % 8));
          break;
        case 4:
          r[x / 2] |= static_cast<uint8_t>((v & 15) << (x % 2 ? 0 : 4));
          break;
        case 8:
          r[x] = static_cast<uint8_t>(v);
          break;
        case 16: {
          const uint32_t c = ((v >> 19 & 31) << 10) | ((v >> 11 & 31) << 5) | (v >> 3 & 31);
          r[2 * x] = static_cast<uint8_t>(c);
          r[2 * x + 1] = static_cast<uint8_t>(c >> 8);
          break;
        }
        case 24:
        case 32:
          for (uint32_t k = 0; k < bpp / 8u; ++k) r[bpp / 8 * x + k] = static_cast<uint8_t>(v >> (8 * k));
          break;
      }
    }
    b.insert(b.end(), r.begin(), r.end());
  }
  for (uint32_t y = h; y-- > 0;) {
    Bytes r(maskRow, 0);
    for (uint32_t x = 0; x < w; ++x)
      if (transparent(x, y)) r[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    b.insert(b.end(), r.begin(), r.end());
  }
  return b;
}

}  // namespace icotest
