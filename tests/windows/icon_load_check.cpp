// Loads every image of an icon or cursor the module wrote with the system's
// own icon calls and compares what the system gives back with the image as
// our reader exports it (one PNG per image, made beforehand by icohost
// extract); a cursor's images must load as cursors with their hot spots.
//   icon_load_check FILE.ico|FILE.cur DIR   (DIR/1.png, DIR/2.png, ...)
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>

#include "check.h"
#include "pixels/png_image.h"
#include "platform/files.h"
#include "platform/icons.h"

using namespace icofmt;
using wintest::pixelsOf;

namespace {

struct Entry {
  int width, height, bitCount;
  std::uint32_t size, offset;
  // A cursor's hot spot, where an icon's entry holds planes and depth.
  int hotX, hotY;
};

std::uint32_t le(const std::vector<std::uint8_t>& b, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | b[at + static_cast<std::size_t>(i)];
  return v;
}

// RGBA, top row first.
std::vector<std::uint32_t> expectedPixels(const std::string& path, int& width, int& height) {
  PngImage png;
  png.LoadFromMemory(platform::readWholeFile(path).value_or(std::vector<std::uint8_t>{}));
  width = png.Width();
  height = png.Height();
  std::vector<std::uint32_t> out;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      std::uint8_t p[4];
      png.PixelRgba(x, y, p);
      out.push_back(p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24));
    }
  return out;
}

// Counts the pixels where the system's icon differs from the expected image:
// the alpha of an icon with alpha, else the mask; colours where visible.
int differences(HICON icon, const std::vector<std::uint32_t>& expected, int width, int height,
                std::string& first, ICONINFO* seen = nullptr) {
  ICONINFO info{};
  if (!::GetIconInfo(icon, &info)) return -1;
  if (seen != nullptr) *seen = info;
  BITMAP bm{};
  ::GetObject(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof bm, &bm);
  int diff = -1;
  // A two-colour icon has no colour bitmap: its mask is twice as high, the
  // AND mask above the XOR image.
  const bool mono = info.hbmColor == nullptr;
  if (bm.bmWidth == width && bm.bmHeight == (mono ? 2 * height : height)) {
    std::vector<std::uint32_t> colour, mask;
    if (mono) {
      auto both = pixelsOf(info.hbmMask, width, 2 * height);
      if (!both.empty()) {
        mask.assign(both.begin(), both.begin() + static_cast<std::ptrdiff_t>(both.size() / 2));
        colour.assign(both.begin() + static_cast<std::ptrdiff_t>(both.size() / 2), both.end());
      }
    } else {
      colour = pixelsOf(info.hbmColor, width, height);
      mask = pixelsOf(info.hbmMask, width, height);
    }
    bool alpha = false;
    for (auto p : colour) alpha |= !mono && (p >> 24) != 0;
    diff = 0;
    for (std::size_t i = 0; i < expected.size() && i < colour.size() && i < mask.size(); ++i) {
      const std::uint32_t e = expected[i];
      const std::uint32_t ea = e >> 24;
      const std::uint32_t rgb = ((e & 0xFF) << 16) | (e & 0xFF00) | ((e >> 16) & 0xFF);  // as BGRA
      const std::uint32_t got = colour[i];
      bool same = alpha ? (got >> 24) == ea && (ea == 0 || (got & 0xFFFFFF) == rgb)
                        : ((mask[i] & 0xFFFFFF) != 0) == (ea == 0) &&
                              (ea == 0 || (ea == 255 && (got & 0xFFFFFF) == rgb));
      if (!same && diff++ == 0) {
        char text[160];
        std::snprintf(text, sizeof text, "pixel (%d,%d): system %08X mask %06X, expected RGBA %08X",
                      static_cast<int>(i % static_cast<std::size_t>(width)),
                      static_cast<int>(i / static_cast<std::size_t>(width)), got, mask[i] & 0xFFFFFF, e);
        first = text;
      }
    }
  }
  if (info.hbmColor != nullptr) ::DeleteObject(info.hbmColor);
  ::DeleteObject(info.hbmMask);
  return diff;
}

// The module's own path to system icons (platform/icons.h): made from the
// block, drawn over a background, the image must show blended over it.
int drawnDifferences(std::span<const std::uint8_t> block, const std::vector<std::uint32_t>& expected,
                     int width, int height) {
  platform::IconRef icon = platform::createIconFromBlock(block, width, height);
  if (icon == nullptr || platform::iconWidth(icon) != width) {
    platform::destroyIcon(icon);
    return -1;
  }
  constexpr std::uint32_t kBackground = 0x00C83C14;  // BGRA: red 200, green 60, blue 20
  BITMAPINFO info = wintest::topDownBgra(width, height);
  void* bits = nullptr;
  HDC dc = ::CreateCompatibleDC(nullptr);
  HBITMAP canvas = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = ::SelectObject(dc, canvas);
  auto* pixels = static_cast<std::uint32_t*>(bits);
  const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  std::fill(pixels, pixels + count, kBackground);
  platform::drawIcon(icon, dc, 0, 0);
  ::GdiFlush();
  int diff = 0;
  for (std::size_t i = 0; i < count && i < expected.size(); ++i) {
    const std::uint32_t e = expected[i], a = e >> 24;
    for (int channel = 0; channel < 3; ++channel) {
      // expected is RGBA, the canvas BGRA.
      const int want = static_cast<int>(((e >> (8 * channel)) & 0xFF) * a +
                                        ((kBackground >> (8 * (2 - channel))) & 0xFF) * (255 - a) + 127) /
                       255;
      const int got = static_cast<int>((pixels[i] >> (8 * (2 - channel))) & 0xFF);
      // The system rounds its blend its own way.
      if (std::abs(want - got) > 2) {
        ++diff;
        break;
      }
    }
  }
  ::SelectObject(dc, old);
  ::DeleteObject(canvas);
  ::DeleteDC(dc);
  platform::destroyIcon(icon);
  return diff;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: icon_load_check FILE.ico DIR\n");
    return 2;
  }
  const std::string file = argv[1], dir = argv[2];
  const std::vector<std::uint8_t> bytes = platform::readWholeFile(file).value_or(std::vector<std::uint8_t>{});
  WCHECK(bytes.size() >= 6 && le(bytes, 0, 2) == 0 && (le(bytes, 2, 2) == 1 || le(bytes, 2, 2) == 2),
         "%s is no icon or cursor", file.c_str());
  if (wintest::failures() != 0) return 1;
  const bool cursor = le(bytes, 2, 2) == 2;
  const std::size_t count = le(bytes, 4, 2);
  std::vector<Entry> entries;
  for (std::size_t i = 0; i < count && 6 + 16 * (i + 1) <= bytes.size(); ++i) {
    const std::size_t at = 6 + 16 * i;
    Entry e{bytes[at] == 0 ? 256 : bytes[at],
            bytes[at + 1] == 0 ? 256 : bytes[at + 1],
            static_cast<int>(le(bytes, at + 6, 2)),
            le(bytes, at + 8, 4),
            le(bytes, at + 12, 4),
            static_cast<int>(le(bytes, at + 4, 2)),
            static_cast<int>(le(bytes, at + 6, 2))};
    WCHECK(e.offset <= bytes.size() && e.size <= bytes.size() - e.offset, "entry %zu runs past the file",
           i + 1);
    entries.push_back(e);
  }
  WCHECK(entries.size() == count && count > 0, "%s: %zu entries readable of %zu", file.c_str(),
         entries.size(), count);

  std::vector<std::vector<std::uint32_t>> expected(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const Entry& e = entries[i];
    int w = 0, h = 0;
    expected[i] = expectedPixels(dir + "/" + std::to_string(i + 1) + ".png", w, h);
    WCHECK(w == e.width && h == e.height && !expected[i].empty(), "image %zu: exported %dx%d, entry %dx%d",
           i + 1, w, h, e.width, e.height);
    if (e.offset + e.size > bytes.size()) continue;
    std::vector<BYTE> block(bytes.begin() + e.offset, bytes.begin() + e.offset + e.size);
    HICON icon = ::CreateIconFromResourceEx(block.data(), static_cast<DWORD>(block.size()), TRUE, 0x00030000,
                                            e.width, e.height, LR_DEFAULTCOLOR);
    WCHECK(icon != nullptr, "image %zu (%dx%d, %d bpp): the system makes no icon of its block", i + 1,
           e.width, e.height, e.bitCount);
    if (icon == nullptr) continue;
    std::string first;
    int diff = differences(icon, expected[i], e.width, e.height, first);
    WCHECK(diff == 0, "image %zu (%dx%d, %d bpp): %d pixels differ; %s", i + 1, e.width, e.height, e.bitCount,
           diff, first.c_str());
    ::DestroyIcon(icon);
    int drawn = drawnDifferences(block, expected[i], e.width, e.height);
    WCHECK(drawn == 0, "image %zu (%dx%d, %d bpp) drawn as a system icon: %d pixels differ", i + 1, e.width,
           e.height, e.bitCount, drawn);
  }

  // The system picks one image per size; it must be one of that size, and
  // show as it: a cursor with its hot spot.
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const Entry& e = entries[i];
    HICON icon = static_cast<HICON>(::LoadImageA(nullptr, file.c_str(), cursor ? IMAGE_CURSOR : IMAGE_ICON,
                                                 e.width, e.height, LR_LOADFROMFILE));
    WCHECK(icon != nullptr, "LoadImage gives no %dx%d %s", e.width, e.height, cursor ? "cursor" : "icon");
    if (icon == nullptr) continue;
    bool matches = false;
    std::string first;
    for (std::size_t k = 0; k < entries.size(); ++k) {
      if (entries[k].width != e.width || entries[k].height != e.height) continue;
      ICONINFO info{};
      const bool same = differences(icon, expected[k], e.width, e.height, first, &info) == 0;
      matches |= same && (!cursor || (!info.fIcon && static_cast<int>(info.xHotspot) == entries[k].hotX &&
                                      static_cast<int>(info.yHotspot) == entries[k].hotY));
    }
    WCHECK(matches, "LoadImage at %dx%d gives no image of the file at that size%s", e.width, e.height,
           cursor ? " with its hot spot" : "");
    if (cursor)
      ::DestroyCursor(icon);
    else
      ::DestroyIcon(icon);
  }
  std::printf("%s: %zu images, %d failures\n", file.c_str(), entries.size(), wintest::failures());
  return wintest::failures() == 0 ? 0 : 1;
}
