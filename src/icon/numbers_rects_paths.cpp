#include "icon/numbers_rects_paths.h"

#include <algorithm>
#include <cmath>

namespace icofmt {

int32_t FloorValue(double x) {
  double t = std::trunc(x);
  return static_cast<int32_t>(t) - (x - t < 0 ? 1 : 0);
}

int32_t CeilValue(double x) {
  double t = std::trunc(x);
  return static_cast<int32_t>(t) + (x - t > 0 ? 1 : 0);
}

bool IsInArray(int32_t value, const int32_t* values, int32_t highIndex) {
  for (int32_t i = 0; i <= highIndex; ++i)
    if (values[i] == value) return true;
  return false;
}

int32_t RoundHalfEven(double x) {
  double f = std::floor(x);
  double diff = x - f;
  if (diff > 0.5 || (diff == 0.5 && std::fmod(f, 2.0) != 0)) f += 1;
  return static_cast<int32_t>(f);
}

TRect InflateRect(const TRect& r, int32_t dx, int32_t dy) {
  return {r.Left - dx, r.Top - dy, r.Right + dx, r.Bottom + dy};
}

TRect FitAspectRatio(int32_t a, int32_t b, const TRect& r) {
  const double w = r.Width(), h = r.Height();
  if (a == 0 || b == 0 || w == 0 || h == 0) return r;
  const double ratio = static_cast<double>(a) / b;
  double fw, fh;
  if (w / h >= ratio) {
    fw = ratio * h;
    fh = h;
  } else {
    fw = w;
    fh = w / ratio;
  }
  TRect out{RoundHalfEven((r.Left + r.Right - fw) * 0.5), RoundHalfEven((r.Top + r.Bottom - fh) * 0.5),
            RoundHalfEven((r.Left + r.Right + fw) * 0.5), RoundHalfEven((r.Top + r.Bottom + fh) * 0.5)};
  out.Left = std::max(out.Left, r.Left);
  out.Top = std::max(out.Top, r.Top);
  out.Right = std::min(out.Right, r.Right);
  out.Bottom = std::min(out.Bottom, r.Bottom);
  return out;
}

std::string ExcludeTrailingSeparator(const std::string& path) {
  if (!path.empty() && (path.back() == '/' || path.back() == '\\')) return path.substr(0, path.size() - 1);
  return path;
}

std::string ExtractFileFolder(const std::string& path) {
  auto pos = path.find_last_of("/\\");
  return pos == std::string::npos ? std::string() : path.substr(0, pos + 1);
}

}  // namespace icofmt
