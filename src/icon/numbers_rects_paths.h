#pragma once
// Rounding and small integer routines, rectangles, and the parts of a path.
#include <cstdint>
#include <string>

namespace icofmt {

// Truncation, minus 1 when the fraction is negative.
int32_t FloorValue(double x);
// Truncation, plus 1 when the fraction is positive.
int32_t CeilValue(double x);
inline int32_t MinInt(int32_t a, int32_t b) { return a < b ? a : b; }
inline void ExchangeInt(int32_t& a, int32_t& b) {
  int32_t t = a;
  a = b;
  b = t;
}
// Whether value occurs in values[0..highIndex]; the caller passes the highest
// index, not the length.
bool IsInArray(int32_t value, const int32_t* values, int32_t highIndex);

// Rounds to the nearest integer, halves to the even neighbour.
int32_t RoundHalfEven(double x);

struct TRect {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  int32_t Width() const { return Right - Left; }
  int32_t Height() const { return Bottom - Top; }
  bool operator==(const TRect&) const = default;
};

inline TRect MakeRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  return {left, top, right, bottom};
}
// Enlarges by dx on the left and right and dy on the top and bottom.
TRect InflateRect(const TRect& r, int32_t dx, int32_t dy);
// The largest rectangle of aspect a : b centred in r and clipped to it; r
// itself when a, b or a side of r is 0.
TRect FitAspectRatio(int32_t a, int32_t b, const TRect& r);

// The path without one final "/" or "\".
std::string ExcludeTrailingSeparator(const std::string& path);
// The folder part of a path, with its trailing separator ("" when it has none).
std::string ExtractFileFolder(const std::string& path);

}  // namespace icofmt
