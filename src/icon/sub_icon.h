#pragma once
// One image of an icon file: its directory record and its image block.
#include <cstdint>
#include <span>
#include <vector>

#include "icon/ico_format.h"
#include "icon/persistent.h"

namespace icofmt {

class TStream;

struct THotSpot {
  uint16_t X = 0;
  uint16_t Y = 0;
  bool operator==(const THotSpot&) const = default;
};

class TSubIcon : public TPersistent {
 public:
  TSubIcon() = default;  // Create: an empty image
  ~TSubIcon() override = default;
  const char* ClassName() const override { return "TSubIcon"; }

  // The constructors fill a freshly created image of the wanted class.
  //
  // Reads the entry at the stream's position, the block at its Offset, and
  // returns to the position after the entry, also on failure. A block that
  // runs past the stream's end is read as far as it goes and zero after.
  // An entry whose Size exceeds the whole stream is "Invalid image".
  void CreateFromStream(TStream& stream);
  // The entry is read already; the block is read from the current position.
  void CreateFromFileEntry(TStream& stream, const TIconDirEntry& entry);
  // Reads record.Size bytes of block from the stream's position and returns to it.
  void CreateFromBlock(TStream& stream, const TIconDirEntry& record);
  // As CreateFromStream; a Type 2 header makes Planes and Bit count the hot spot.
  void CreateCursorFromStream(TStream& stream, const IconHeader& header);
  // A new image of the same class holding a copy of this one.
  virtual TSubIcon* CreateCopy() const;

  // Takes a block and its record and normalises the record from the block;
  // throws InvalidImage for a block that cannot be an icon image.
  void SetBlock(const TIconDirEntry& record, std::vector<uint8_t> block);

  int32_t Width() const;
  int32_t Height() const;
  int32_t BitCount() const;
  bool IsPNG() const;

  const TIconDirEntry& Entry() const { return entry_; }
  const std::vector<uint8_t>& Data() const { return data_; }
  bool HasData() const { return !data_.empty(); }
  THotSpot HotSpot() const { return hotSpot_; }
  void SetHotSpot(THotSpot hotSpot) { hotSpot_ = hotSpot; }
  bool Packed() const { return packed_; }
  void SetPacked(bool packed) { packed_ = packed; }

 protected:
  void AssignTo(TPersistent* destination) const override;
  virtual TSubIcon* NewOfSameClass() const { return new TSubIcon; }

 private:
  void Parse();
  void ParsePngBlock();

  mutable int32_t bitCount_ = 0;  // 0: not computed yet
  TIconDirEntry entry_;
  std::vector<uint8_t> data_;
  THotSpot hotSpot_;
  bool packed_ = false;
};

// The classes only record where an image came from.
class TFileIconImage : public TSubIcon {
 public:
  const char* ClassName() const override { return "TFileIconImage"; }

 protected:
  TSubIcon* NewOfSameClass() const override { return new TFileIconImage; }
};

class TSubCursor : public TSubIcon {
 public:
  const char* ClassName() const override { return "TSubCursor"; }

 protected:
  TSubIcon* NewOfSameClass() const override { return new TSubCursor; }
};

class TFileCursorImage : public TSubCursor {
 public:
  const char* ClassName() const override { return "TFileCursorImage"; }

 protected:
  TSubIcon* NewOfSameClass() const override { return new TFileCursorImage; }
};

// Reads up to size bytes from the stream's position; bytes the stream does
// not hold are zero. The caller bounds size before calling.
std::vector<uint8_t> readBlockZeroFilled(TStream& stream, uint32_t size);

}  // namespace icofmt
