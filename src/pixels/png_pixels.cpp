// PngImage's pixel work and SplitPng: our own code, no libpng.
#include <algorithm>
#include <cstring>

#include "pixels/alpha.h"
#include "pixels/png_image.h"
#include "pixels/reduce.h"

namespace icofmt {

void PngImage::PixelRgba(int x, int y, uint8_t rgba[4]) const {
  const uint8_t* s = Row(y) + static_cast<size_t>(x) * static_cast<size_t>(channels_);
  switch (channels_) {
    case 1:
      if (type_ == PngColourType::Palette) {
        Colour c = s[0] < palette_.size() ? palette_[s[0]] : kBlack;
        rgba[0] = static_cast<uint8_t>(redOf(c));
        rgba[1] = static_cast<uint8_t>(greenOf(c));
        rgba[2] = static_cast<uint8_t>(blueOf(c));
        rgba[3] = hasTransparency_ && s[0] < transparency_.size() ? transparency_[s[0]] : 255;
      } else {
        rgba[0] = rgba[1] = rgba[2] = s[0];
        rgba[3] = 255;
      }
      break;
    case 2:
      rgba[0] = rgba[1] = rgba[2] = s[0];
      rgba[3] = s[1];
      break;
    case 3:
      std::memcpy(rgba, s, 3);
      rgba[3] = 255;
      break;
    default:
      std::memcpy(rgba, s, 4);
      break;
  }
}

bool PngImage::AnyAlpha() const {
  uint8_t rgba[4];
  for (int y = 0; y < height_; ++y) {
    if (channels_ == 4) {
      const uint8_t* p = Row(y);
      for (int x = 0; x < width_; ++x)
        if (p[4 * x + 3] != 0) return true;
      continue;
    }
    for (int x = 0; x < width_; ++x) {
      PixelRgba(x, y, rgba);
      if (rgba[3] != 0) return true;
    }
  }
  return false;
}

TBitmap PngImage::ToBitmap() const {
  TBitmap bmp;
  const bool paletted = type_ == PngColourType::Palette;
  if (paletted && !hasTransparency_) {
    SetupBitmap(bmp, width_, height_, PixelFormat::Bits8);
    ColourList pal = palette_;
    pal.resize(256, kBlack);
    bmp.SetPalette(pal);
    for (int y = 0; y < height_; ++y) std::memcpy(bmp.ScanLine(y), Row(y), static_cast<size_t>(width_));
    return bmp;
  }
  const bool alpha = channels_ == 2 || channels_ == 4 || paletted;
  SetupBitmap(bmp, width_, height_, alpha ? PixelFormat::Bits32 : PixelFormat::Bits24);
  // RGBA and RGB samples only change their order: no pixel by pixel rules.
  if (!paletted && (channels_ == 4 || channels_ == 3)) {
    const size_t step = static_cast<size_t>(channels_);
    for (int y = 0; y < height_; ++y) {
      const uint8_t* s = Row(y);
      uint8_t* d = bmp.ScanLine(y);
      for (int x = 0; x < width_; ++x, s += step, d += step) {
        d[0] = s[2];
        d[1] = s[1];
        d[2] = s[0];
        if (step == 4) d[3] = s[3];
      }
    }
    return bmp;
  }
  const int step = alpha ? 4 : 3;
  uint8_t rgba[4];
  for (int y = 0; y < height_; ++y) {
    uint8_t* d = bmp.ScanLine(y);
    for (int x = 0; x < width_; ++x, d += step) {
      PixelRgba(x, y, rgba);
      d[0] = rgba[2];
      d[1] = rgba[1];
      d[2] = rgba[0];
      if (alpha) d[3] = rgba[3];
    }
  }
  return bmp;
}

PngImage PngImage::FromBitmap(const TBitmap& bmp) {
  PngImage png;
  const int w = bmp.Width(), h = bmp.Height();
  if (bmp.Paletted() && bmp.Bits() > 0) {
    png.Create(w, h, PngColourType::Palette, bmp.Bits());
    png.SetPalette(bmp.Palette());
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) png.Row(y)[x] = static_cast<uint8_t>(bmp.GetIndex(x, y));
    return png;
  }
  const bool alpha = bmp.Format() == PixelFormat::Bits32;
  png.Create(w, h, alpha ? PngColourType::Rgba : PngColourType::Rgb);
  std::vector<uint8_t> row(static_cast<size_t>(w) * 3);
  for (int y = 0; y < h; ++y) {
    uint8_t* d = png.Row(y);
    if (alpha) {
      const uint8_t* s = bmp.ScanLine(y);
      for (int x = 0; x < w; ++x, s += 4, d += 4) {
        d[0] = s[2];
        d[1] = s[1];
        d[2] = s[0];
        d[3] = s[3];
      }
    } else {
      ReadRow24(bmp, y, row.data());
      for (int x = 0; x < w; ++x, d += 3) {
        d[0] = row[3 * static_cast<size_t>(x) + 2];
        d[1] = row[3 * static_cast<size_t>(x) + 1];
        d[2] = row[3 * static_cast<size_t>(x)];
      }
    }
  }
  return png;
}

void PngImage::Draw(TBitmap& dst, int left, int top) const {
  auto blend = [](uint32_t s, uint32_t d, uint32_t a) { return (s * a + d * (255 - a) + 127) / 255; };
  uint8_t rgba[4];
  // A true-colour destination takes the same blend byte by byte (blue,
  // green, red), without a palette to match.
  if (dst.Format() == PixelFormat::Bits24 || dst.Format() == PixelFormat::Bits32) {
    const int bytes = dst.Format() == PixelFormat::Bits32 ? 4 : 3;
    for (int y = std::max(0, -top); y < height_ && top + y < dst.Height(); ++y) {
      uint8_t* row = dst.ScanLine(top + y);
      for (int x = std::max(0, -left); x < width_ && left + x < dst.Width(); ++x) {
        if (channels_ == 4)
          std::memcpy(rgba, Row(y) + 4 * static_cast<size_t>(x), 4);
        else
          PixelRgba(x, y, rgba);
        uint8_t* d = row + static_cast<size_t>(bytes) * static_cast<size_t>(left + x);
        const uint32_t a = rgba[3];
        d[0] = static_cast<uint8_t>(blend(rgba[2], d[0], a));
        d[1] = static_cast<uint8_t>(blend(rgba[1], d[1], a));
        d[2] = static_cast<uint8_t>(blend(rgba[0], d[2], a));
        if (bytes == 4) d[3] = static_cast<uint8_t>(a + (d[3] * (255 - a) + 127) / 255);
      }
    }
    return;
  }
  for (int y = std::max(0, -top); y < height_ && top + y < dst.Height(); ++y)
    for (int x = std::max(0, -left); x < width_ && left + x < dst.Width(); ++x) {
      PixelRgba(x, y, rgba);
      const int dx = left + x, dy = top + y;
      Colour d = dst.GetPixel(dx, dy);
      uint32_t a = rgba[3];
      dst.SetPixel(dx, dy,
                   makeColour(blend(rgba[0], redOf(d), a), blend(rgba[1], greenOf(d), a),
                              blend(rgba[2], blueOf(d), a)));
      if (dst.Format() == PixelFormat::Bits32) {
        uint8_t& da = dst.ScanLine(dy)[4 * dx + 3];
        da = static_cast<uint8_t>(a + (da * (255 - a) + 127) / 255);
      }
    }
}

void SplitPng(const PngImage& png, TBitmap& colour, TBitmap& mask, int threshold) {
  const int w = png.Width(), h = png.Height();
  TBitmap out, m;
  SetupOpaqueMask(m, w, h);
  if (png.ColourType() == PngColourType::GreyAlpha && png.BitDepth() == 8) {
    SetupBitmap(out, w, h, PixelFormat::Bits8);
    ColourList greys(256);
    for (uint32_t i = 0; i < 256; ++i) greys[i] = makeColour(i, i, i);
    out.SetPalette(greys);
    for (int y = 0; y < h; ++y) {
      const uint8_t* s = png.Row(y);
      uint8_t* d = out.ScanLine(y);
      for (int x = 0; x < w; ++x, s += 2) {
        bool transparent = s[1] < threshold;
        d[x] = transparent ? 0 : s[0];
        if (transparent) m.SetIndex(x, y, 1);
      }
    }
  } else if (png.ColourType() == PngColourType::Palette) {
    SetupBitmap(out, w, h, PixelFormat::Bits8);
    ColourList pal = png.Palette();
    pal.resize(256, kBlack);
    out.SetPalette(pal);
    auto black = std::find(pal.begin(), pal.end(), kBlack);
    const int blackIndex = black == pal.end() ? -1 : static_cast<int>(black - pal.begin());
    const auto& trns = png.Transparency();
    bool anyTransparent = false;
    for (int y = 0; y < h; ++y) {
      const uint8_t* s = png.Row(y);
      uint8_t* d = out.ScanLine(y);
      for (int x = 0; x < w; ++x) {
        uint8_t i = s[x];
        int alpha = png.HasTransparency() && i < trns.size() ? trns[i] : 255;
        if (alpha < threshold) {
          d[x] = blackIndex >= 0 ? static_cast<uint8_t>(blackIndex) : i;
          m.SetIndex(x, y, 1);
          anyTransparent = true;
        } else {
          d[x] = i;
        }
      }
    }
    if (anyTransparent && blackIndex < 0) {
      TBitmap as24 = ToBits24(out);
      ReduceTo8Bit(as24, out, true, kAlphaThreshold, 255);
      MarkTransparentPixels(out, m, kBlack);
    }
  } else {
    out = png.ToBitmap();
    if (out.Format() == PixelFormat::Bits32) {
      for (int y = 0; y < h; ++y) {
        uint8_t* d = out.ScanLine(y);
        for (int x = 0; x < w; ++x, d += 4)
          if (d[3] == 0) {
            std::memset(d, 0, 4);
            m.SetIndex(x, y, 1);
          }
      }
    }
  }
  colour = std::move(out);
  mask = std::move(m);
}

}  // namespace icofmt
