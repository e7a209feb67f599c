#include "pixels/nearest.h"

#include <algorithm>
#include <cstdlib>

namespace icofmt {

namespace {
constexpr uint32_t kUnbuilt = 0xFFFFFFFF;
constexpr uint32_t kNoKey = 0xFFFFFFFF;

// Squared distance from v to the interval [lo, hi] on one axis, and to its far end.
inline uint32_t nearAxis(int v, int lo, int hi) {
  int d = v < lo ? lo - v : v > hi ? v - hi : 0;
  return static_cast<uint32_t>(d * d);
}
inline uint32_t farAxis(int v, int lo, int hi) {
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
}

void NearestMapper::BuildCell(int cell) {
  const int size = 1 << kCellBits;
  int rlo = (cell / (kCellsPerAxis * kCellsPerAxis)) * size;
  int glo = ((cell / kCellsPerAxis) % kCellsPerAxis) * size;
  int blo = (cell % kCellsPerAxis) * size;
  int rhi = rlo + size - 1, ghi = glo + size - 1, bhi = blo + size - 1;
  // An entry can be nearest to some colour of the cell only if its least
  // distance to the cell is within the smallest greatest distance of any entry.
  uint32_t bound = 0xFFFFFFFF;
  for (Colour p : palette_) {
    int r = static_cast<int>(redOf(p)), g = static_cast<int>(greenOf(p)), b = static_cast<int>(blueOf(p));
    bound = std::min(bound, farAxis(r, rlo, rhi) + farAxis(g, glo, ghi) + farAxis(b, blo, bhi));
  }
  cellStart_[cell] = static_cast<uint32_t>(candidates_.size());
  uint16_t count = 0;
  for (size_t i = 0; i < palette_.size(); ++i) {
    Colour p = palette_[i];
    int r = static_cast<int>(redOf(p)), g = static_cast<int>(greenOf(p)), b = static_cast<int>(blueOf(p));
    if (nearAxis(r, rlo, rhi) + nearAxis(g, glo, ghi) + nearAxis(b, blo, bhi) <= bound) {
      candidates_.push_back(static_cast<uint16_t>(i));
      ++count;
    }
  }
  cellCount_[cell] = count;
}

int NearestMapper::Map(Colour c) {
  if (palette_.empty()) return 0;
  c &= 0xFFFFFF;
  uint32_t slot = ((c * 2654435761u) >> 20) & (kCacheSize - 1);
  if (cacheKey_[slot] == c) return cacheValue_[slot];
  int cell =
      static_cast<int>(((redOf(c) >> kCellBits) * kCellsPerAxis + (greenOf(c) >> kCellBits)) * kCellsPerAxis +
                       (blueOf(c) >> kCellBits));
  if (cellStart_[cell] == kUnbuilt) BuildCell(cell);
  const uint16_t* cand = candidates_.data() + cellStart_[cell];
  uint32_t best = 49744125;
  int index = 0;
  for (int k = 0; k < cellCount_[cell]; ++k) {
    uint32_t d = squaredDistance(palette_[cand[k]], c);
    if (d < best) {
      best = d;
      index = cand[k];
      if (d == 0) break;
    }
  }
  cacheKey_[slot] = c;
  cacheValue_[slot] = static_cast<uint16_t>(index);
  return index;
}

}  // namespace icofmt
