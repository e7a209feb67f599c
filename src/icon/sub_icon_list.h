#pragma once
// The ordered, owning list of a container's images.
#include <cstdint>
#include <memory>
#include <vector>

#include "icon/sub_icon.h"

namespace icofmt {

class TStream;
class TBitmap;
class TAdvancedIcon;

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
  // The first image of that width, height and bits per pixel, or -1: the
  // identity of an image format when a save replaces "the same" image.
  int32_t FindFormat(int32_t width, int32_t height, int32_t bitsPerPixel) const;

  // Moving images between containers without copying them. Nothing happens
  // when the source is null or has no image at the index.
  void TakeFrom(TAdvancedIcon* source, uint32_t index);
  // Stores the source's image in slot index in place of the image there and
  // hands that one to the caller (who frees it by dropping it); index < Count.
  std::unique_ptr<TSubIcon> ReplaceFrom(TAdvancedIcon* source, uint32_t sourceIndex, uint32_t index);
  // Appends every image of the source in order; the source is left empty.
  void TakeAll(TAdvancedIcon& source);

  // Builds a bitmap-form block from a serialised bitmap: colour is positioned
  // just after a 14-byte bitmap file header and holds dataLength bytes from
  // there; mask, when given, is positioned at a 1-bit mask's pixel bits;
  // without it every mask byte is fill. Throws "Bitmap image is not valid"
  // for planes other than 1 and InvalidImage for a block that is no icon
  // image; nothing is added then.
  void AddFromDIB(TStream& colour, TStream* mask, uint8_t fill, uint32_t dataLength);
  // Serialises the bitmap (and mask, white = transparent) and adds it with
  // AddFromDIB. A 32-bit bitmap given no mask gets one from its alpha: white
  // where alpha <= value; a zero-width mask means none and suppresses that.
  // 15-, 16-bit and zero-width bitmaps are stored as 24 bits. colour loses
  // its palette when it is 32-bit; nothing else of the caller's changes.
  void AddFromBitmap(TBitmap& colour, const TBitmap* mask, uint8_t value);

 private:
  std::vector<std::unique_ptr<TSubIcon>> items_;
  uint16_t capacity_ = 0;
};

}  // namespace icofmt
