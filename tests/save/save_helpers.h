#pragma once
// Source images and icon files for the save tests.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/stream.h"
#include "icon/advanced_icon.h"
#include "pixels/bitmap.h"
#include "pixels/bmp_codec.h"

namespace savetest {

using Bytes = std::vector<uint8_t>;

struct Format {
  int32_t width, height, bits;
  bool operator==(const Format&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Format& f) {
  return os << f.width << "x" << f.height << "x" << f.bits;
}

// An RGB-mode source: 32 bits with alpha, its mask white where alpha is 0.
struct Source {
  icofmt::TBitmapFix32 bitmap;
  icofmt::TBitmap mask;
};

// rgba(x, y) gives 0xRRGGBBAA.
inline Source rgbSource(int w, int h, const std::function<uint32_t(int, int)>& rgba) {
  Source s;
  icofmt::SetupBitmap(s.bitmap, w, h, icofmt::PixelFormat::Bits32);
  icofmt::SetupBitmap(s.mask, w, h, icofmt::PixelFormat::Bits1);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t c = rgba(x, y);
      uint8_t* p = s.bitmap.ScanLine(y) + 4 * x;
      p[0] = static_cast<uint8_t>(c >> 8);
      p[1] = static_cast<uint8_t>(c >> 16);
      p[2] = static_cast<uint8_t>(c >> 24);
      p[3] = static_cast<uint8_t>(c);
      s.mask.SetIndex(x, y, (c & 0xFF) == 0 ? 1 : 0);
    }
  return s;
}

// An Indexed- or Bitmap-mode source: a paletted bitmap, all opaque.
inline Source palettedSource(int w, int h, icofmt::PixelFormat format, const icofmt::ColourList& palette,
                             const std::function<int(int, int)>& index) {
  Source s;
  icofmt::SetupBitmap(s.bitmap, w, h, format);
  s.bitmap.SetPalette(palette);
  icofmt::SetupBitmap(s.mask, w, h, icofmt::PixelFormat::Bits1);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      s.bitmap.SetIndex(x, y, index(x, y));
      s.mask.SetIndex(x, y, 0);
    }
  return s;
}

inline bool loadIcon(const Bytes& bytes, icofmt::TAdvancedIcon& icon) {
  icofmt::TMemoryStream in(bytes);
  return icon.LoadFromStream(in);
}

inline std::vector<Format> formatsOf(const Bytes& bytes) {
  icofmt::TAdvancedIcon icon;
  loadIcon(bytes, icon);
  std::vector<Format> out;
  for (uint32_t i = 0; i < icon.Images().Count(); ++i) {
    const auto* image = icon.Images().Items(i);
    out.push_back({image->Width(), image->Height(), image->BitCount()});
  }
  return out;
}

// The blocks of an icon file as they lie in it, in directory order.
inline std::vector<Bytes> rawBlocks(const Bytes& file) {
  auto u16 = [&](size_t at) { return static_cast<uint32_t>(file.at(at) | file.at(at + 1) << 8); };
  auto u32 = [&](size_t at) { return u16(at) | u16(at + 2) << 16; };
  std::vector<Bytes> blocks;
  for (uint32_t i = 0, n = u16(4); i < n; ++i) {
    const uint32_t size = u32(6 + 16 * i + 8), offset = u32(6 + 16 * i + 12);
    blocks.emplace_back(file.begin() + offset, file.begin() + offset + size);
  }
  return blocks;
}

inline bool isPngBlock(const Bytes& block) { return block.size() > 8 && block[0] == 0x89 && block[1] == 'P'; }

}  // namespace savetest
