#include "pixels/nearest.h"

#include <algorithm>
#include <cstdlib>

namespace icofmt {

namespace {
constexpr uint32_t kUnbuilt = 0xFFFFFFFF;
constexpr uint32_t kNoKey = 0xFFFFFFFF;

// Squared distance from v to the interval [lo, hi] on one axis, and to its far end.
inline uint32_t nearAxis(int32_t v, int lo, int hi) {
  int d = v < lo ? lo - v : v > hi ? v - hi : 0;
  return static_cast<uint32_t>(d * d);
}
inline uint32_t farAxis(int32_t v, int lo, int hi) {
  int d = std::max(std::abs(v - lo), std::abs(v - hi));
  return static_cast<uint32_t>(d * d);
}
}  // namespace

int NearestIndex(const ColourList& palette, Colour c) {
  uint32_t best = 49744125;
  int index = 0;
  for (size_t i = 0; i < palette.size(); ++i) {
    uint32_t d = squaredDistance(palette[i], c);
    if (d < best) {
      best = d;
      index = static_cast<int>(i);
      if (d == 0) break;
    }
  }
  return index;
}

NearestMapper::NearestMapper(const ColourList& palette)
    : palette_(palette), cellStart_(kCells, kUnbuilt), cellCount_(kCells, 0) {
  cacheKey_.fill(kNoKey);
  cacheValue_.fill(0);
  for (Colour p : palette_) {
    red_.push_back(static_cast<int32_t>(redOf(p)));
    green_.push_back(static_cast<int32_t>(greenOf(p)));
    blue_.push_back(static_cast<int32_t>(blueOf(p)));
  }
}

void NearestMapper::BuildCell(int cell) {
  const int size = 1 << kCellBits;
  const int rlo = (cell / (kCellsPerAxis * kCellsPerAxis)) * size;
  const int glo = ((cell / kCellsPerAxis) % kCellsPerAxis) * size;
  const int blo = (cell % kCellsPerAxis) * size;
  const int rhi = rlo + size - 1, ghi = glo + size - 1, bhi = blo + size - 1;
  const size_t n = palette_.size();
  // An entry can be nearest to some colour of the cell only if its least
  // distance to the cell is within the smallest greatest distance of any entry.
  uint32_t bound = 0xFFFFFFFF;
  for (size_t i = 0; i < n; ++i)
    bound = std::min(bound,
                     farAxis(red_[i], rlo, rhi) + farAxis(green_[i], glo, ghi) + farAxis(blue_[i], blo, bhi));
  const size_t start = candidates_.size();
  cellStart_[static_cast<size_t>(cell)] = static_cast<uint32_t>(start);
  for (size_t i = 0; i < n; ++i) {
    uint32_t near =
        nearAxis(red_[i], rlo, rhi) + nearAxis(green_[i], glo, ghi) + nearAxis(blue_[i], blo, bhi);
    if (near <= bound) candidates_.push_back({red_[i], green_[i], blue_[i], static_cast<int32_t>(i), near});
  }
  std::sort(candidates_.begin() + static_cast<std::ptrdiff_t>(start), candidates_.end(),
            [](const Candidate& a, const Candidate& b) {
              return a.nearest != b.nearest ? a.nearest < b.nearest : a.index < b.index;
            });
  cellCount_[static_cast<size_t>(cell)] = static_cast<uint16_t>(candidates_.size() - start);
}

int NearestMapper::Map(Colour c) {
  if (palette_.empty()) return 0;
  c &= 0xFFFFFF;
  const uint32_t slot = ((c * 2654435761u) >> 20) & (kCacheSize - 1);
  if (cacheKey_[slot] == c) return cacheValue_[slot];
  const int r = static_cast<int>(redOf(c)), g = static_cast<int>(greenOf(c)), b = static_cast<int>(blueOf(c));
  const int cell = ((r >> kCellBits) * kCellsPerAxis + (g >> kCellBits)) * kCellsPerAxis + (b >> kCellBits);
  if (cellStart_[static_cast<size_t>(cell)] == kUnbuilt) BuildCell(cell);
  const Candidate* cand = candidates_.data() + cellStart_[static_cast<size_t>(cell)];
  const int count = cellCount_[static_cast<size_t>(cell)];
  // Candidates come by increasing least distance: once that exceeds the best
  // distance found, no later one can be nearer or tie.
  int32_t best = 49744125;
  int index = 0;
  for (int k = 0; k < count; ++k) {
    if (static_cast<int32_t>(cand[k].nearest) > best) break;
    const int32_t dr = cand[k].r - r, dg = cand[k].g - g, db = cand[k].b - b;
    const int32_t d = dr * dr + dg * dg + db * db;
    if (d < best || (d == best && cand[k].index < index)) {
      best = d;
      index = cand[k].index;
    }
  }
  cacheKey_[slot] = c;
  cacheValue_[slot] = static_cast<uint16_t>(index);
  return index;
}

}  // namespace icofmt
