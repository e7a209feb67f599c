#pragma once
// Test pictures of every depth with known pixels and transparency.
#include <cstdint>
#include <vector>

#include "base/stream.h"
#include "icon/sub_icon.h"
#include "icon_builders.h"
#include "pixels/colour.h"
#include "pixels/palettes.h"
#include "pixels/png_image.h"

namespace icotest {

using icofmt::Colour;

// A test image: palette, pixel value and transparency per pixel.
struct Picture {
  uint32_t w, h;
  uint16_t bpp;
  bool holes;  // whether some pixels are transparent

  std::vector<uint32_t> palette() const {
    std::vector<uint32_t> p;
    if (bpp == 1) return {0x000000, 0xFFFFFF};
    if (bpp == 4) {
      for (Colour c : icofmt::StandardPalette16)
        p.push_back(icofmt::redOf(c) << 16 | icofmt::greenOf(c) << 8 | icofmt::blueOf(c));
      return p;
    }
    if (bpp == 8)
      for (uint32_t i = 0; i < 256; ++i) p.push_back((i * 0x9E3779B1u) >> 8 & 0xFFFFFF);
    return p;
  }
  uint32_t value(uint32_t x, uint32_t y) const {
    const uint32_t v = x * 31 + y * 17 + x * y;
    switch (bpp) {
      case 1:
        return v & 1;
      case 4:
        return v & 15;
      case 8:
        return v & 255;
      case 32:
        return ((v * 40503u) & 0xFFFFFF) | (transparent(x, y) ? 0u : (0x60u + (v & 0x9F)) << 24);
      default:
        return (v * 2654435761u) >> 8 & 0xFFFFFF;
    }
  }
  // (0, 0) stays opaque: a 32-bit image whose alpha is 0 everywhere is read
  // as one without alpha.
  bool transparent(uint32_t x, uint32_t y) const { return holes && (x * 7 + y * 3) % 5 == 4; }
  // The colour a pixel shows, as 0x00RRGGBB, and its expected alpha.
  uint32_t rgb(uint32_t x, uint32_t y) const {
    const uint32_t v = value(x, y);
    if (bpp <= 8) return palette()[v];
    if (bpp == 16) return v & 0xF8F8F8;
    return v & 0xFFFFFF;
  }
  Bytes block() const {
    return pixelBlock(
        w, h, bpp, palette(), [&](uint32_t x, uint32_t y) { return value(x, y); },
        [&](uint32_t x, uint32_t y) { return bpp == 32 ? (value(x, y) >> 24) < 96 : transparent(x, y); });
  }
};

// An image parsed from a block alone.
inline icofmt::TFileIconImage imageOf(const Bytes& block) {
  icofmt::TFileIconImage image;
  icofmt::TMemoryStream s(block);
  image.CreateFromBlock(s, {.Size = static_cast<uint32_t>(block.size())});
  return image;
}

// What the image exports as PNG, decoded again.
inline icofmt::PngImage exported(const icofmt::TSubIcon& image) {
  icofmt::PngImage png;
  image.SaveToPNG(png);
  icofmt::PngImage decoded;
  decoded.LoadFromMemory(png.Encode());
  return decoded;
}

// RGBA bytes of a decoded PNG, top row first.
inline Bytes rgbaOf(const icofmt::PngImage& png) {
  Bytes out;
  for (int y = 0; y < png.Height(); ++y)
    for (int x = 0; x < png.Width(); ++x) {
      uint8_t rgba[4];
      png.PixelRgba(x, y, rgba);
      out.insert(out.end(), rgba, rgba + 4);
    }
  return out;
}

}  // namespace icotest
