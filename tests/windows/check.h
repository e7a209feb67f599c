#pragma once
// The small checking kit of the Windows test programs: they run under Wine
// without a test framework, print each failure and exit 1 if any.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <vector>

namespace icofmt::wintest {

inline int& failures() {
  static int count = 0;
  return count;
}

#define WCHECK(condition, ...)                             \
  do {                                                     \
    if (!(condition)) {                                    \
      ++::icofmt::wintest::failures();                     \
      std::fprintf(stderr, "%s:%d: ", __FILE__, __LINE__); \
      std::fprintf(stderr, __VA_ARGS__);                   \
      std::fputc('\n', stderr);                            \
    }                                                      \
  } while (0)

// A 32-bit BGRA bitmap description, top row first.
inline BITMAPINFO topDownBgra(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

// A bitmap's pixels as 32-bit BGRA, top row first.
inline std::vector<std::uint32_t> pixelsOf(HBITMAP bitmap, int width, int height) {
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  BITMAPINFO info = topDownBgra(width, height);
  HDC dc = ::GetDC(nullptr);
  int rows = ::GetDIBits(dc, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
  ::ReleaseDC(nullptr, dc);
  if (rows != height) pixels.clear();
  return pixels;
}

}  // namespace icofmt::wintest
