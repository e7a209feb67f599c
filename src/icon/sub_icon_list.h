#pragma once
// The ordered, owning list of a container's images.
#include <cstdint>
#include <memory>
#include <vector>

#include "icon/sub_icon.h"

namespace icofmt {

class TStream;

class TSubIconList {
 public:
  static constexpr uint32_t kMaxImages = 65535;  // the file's count is 16 bits

  TSubIconList() = default;
  TSubIconList(const TSubIconList&) = delete;
  TSubIconList& operator=(const TSubIconList&) = delete;

  uint16_t Count() const { return static_cast<uint16_t>(items_.size()); }
  uint16_t Capacity() const { return capacity_; }
  // Capacity := the larger of n and Count.
  void SetCapacity(uint16_t n);
  // Takes ownership; throws Error("Too many images") past 65535 images.
  void Add(std::unique_ptr<TSubIcon> image);
  // Nothing when index >= Count. Frees the image unless free is false, in
  // which case it is handed back to the caller.
  std::unique_ptr<TSubIcon> Delete(uint32_t index, bool free = true);
  // The image at index, or null at or beyond Count.
  TSubIcon* Items(uint32_t index) const;
  void Clear();
  int32_t IndexOf(const TSubIcon* image) const;

  // Builds a bitmap-form block from a serialised bitmap: colour is positioned
  // just after a 14-byte bitmap file header and holds dataLength bytes from
  // there; mask, when given, is positioned at a 1-bit mask's pixel bits;
  // without it every mask byte is fill. Throws "Bitmap image is not valid"
  // for planes other than 1 and InvalidImage for a block that is no icon
  // image; nothing is added then.
  void AddFromDIB(TStream& colour, TStream* mask, uint8_t fill, uint32_t dataLength);

 private:
  std::vector<std::unique_ptr<TSubIcon>> items_;
  uint16_t capacity_ = 0;
};

}  // namespace icofmt
