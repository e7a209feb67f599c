#pragma once
// A colour list with a hash index beside it: append-when-absent in constant
// time, the list order kept exactly. The lists of the reduction hold at most
// 257 colours, so the table never fills.
#include <algorithm>
#include <array>
#include <cstdint>

#include "pixels/colour.h"

namespace icofmt {

class ColourSet {
 public:
  ColourSet() { slots_.fill(kEmpty); }

  size_t size() const { return list_.size(); }
  const ColourList& list() const { return list_; }
  // Appends c when absent; true when it was appended.
  bool add(Colour c) {
    uint32_t i = hash(c);
    for (; slots_[i] != kEmpty; i = (i + 1) & kMask)
      if (slots_[i] == c) return false;
    slots_[i] = c;
    list_.push_back(c);
    return true;
  }
  void addAll(const ColourList& other) {
    for (Colour c : other) add(c);
  }
  void truncate(size_t n) {
    if (n >= list_.size()) return;
    ColourList keep(list_.begin(), list_.begin() + static_cast<std::ptrdiff_t>(n));
    assign(keep);
  }
  void assign(const ColourList& colours) {
    list_.clear();
    slots_.fill(kEmpty);
    addAll(colours);
  }

 private:
  static constexpr uint32_t kSlots = 1024;
  static constexpr uint32_t kMask = kSlots - 1;
  static constexpr uint32_t kEmpty = 0xFFFFFFFF;
  static uint32_t hash(Colour c) { return (c * 2654435761u) >> 22; }

  ColourList list_;
  std::array<uint32_t, kSlots> slots_;
};

}  // namespace icofmt
