#pragma once
// Nearest palette colour by the one rule every mapping here shares: smallest
// squared RGB distance, the lowest index wins a tie. The result equals a
// linear search from index 0 that keeps the first strictly smaller distance;
// it is found faster by searching only the entries that can be nearest to
// any colour of a 32 x 32 x 32 cell, in order of their least distance to the
// cell so that the search stops early, and by remembering recent colours.
#include <array>
#include <cstdint>
#include <vector>

#include "pixels/colour.h"

namespace icofmt {

class NearestMapper {
 public:
  // The palette is copied; an empty palette maps everything to 0.
  explicit NearestMapper(const ColourList& palette);

  int Map(Colour c);

 private:
  static constexpr int kCellBits = 5;
  static constexpr int kCellsPerAxis = 256 >> kCellBits;
  static constexpr int kCells = kCellsPerAxis * kCellsPerAxis * kCellsPerAxis;
  static constexpr int kCacheSize = 4096;

  void BuildCell(int cell);

  ColourList palette_;
  // Candidate indices per cell, in increasing index order; built on first use.
  std::vector<uint32_t> cellStart_;  // offset into candidates_, or kUnbuilt
  std::vector<uint16_t> cellCount_;
  struct Candidate {
    int32_t r, g, b, index;
    uint32_t nearest;  // least squared distance to any colour of the cell
  };
  std::vector<Candidate> candidates_;
  std::vector<int32_t> red_, green_, blue_;
  std::array<uint32_t, kCacheSize> cacheKey_;
  std::array<uint16_t, kCacheSize> cacheValue_;
};

// The plain search itself, for single lookups.
int NearestIndex(const ColourList& palette, Colour c);

}  // namespace icofmt
