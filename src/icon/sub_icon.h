#pragma once
// One image of an icon file: its directory record and its image block.
// Outside packing and writing the block is in bitmap form and the record is
// normalised from it; a PNG block read from a file is unpacked on parsing
// and the image remembered as packed.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "icon/ico_format.h"
#include "icon/persistent.h"
#include "pixels/colour.h"

namespace icofmt {

class TStream;
class TBitmap;
class PngImage;
class TIconHandle;
class TCanvas;
class THiResIcon;

// "WxH, <depth>", and ", packed" for an image stored as PNG: how an image is
// named in lists, whether it is read whole or only described.
std::string ImageDescription(int32_t width, int32_t height, int32_t bitCount, bool packed);

class TSubIcon : public TPersistent {
 public:
  TSubIcon();  // Create: an empty image
  ~TSubIcon() override;
  TSubIcon(const TSubIcon& other);
  TSubIcon& operator=(const TSubIcon& other);
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

  // Takes a block and its record and parses: a PNG block is unpacked, a
  // bitmap block normalises the record. Throws InvalidImage (or the PNG
  // codec's error) and then leaves the image as it was.
  void SetBlock(const TIconDirEntry& record, std::vector<uint8_t> block);

  int32_t Width() const;
  int32_t Height() const;
  int32_t BitCount() const;
  bool IsPNG() const;
  // One line for the list of images: "48x48, 256 colors", "256x256, 32 bpp, packed", "Packed".
  std::string Description() const;

  // Fills the bitmaps given: raw is the colour bitmap as stored, drawn the
  // image over the background colour, mask the AND mask (white =
  // transparent). Never fails on a block that cannot be read: raw and drawn
  // fall back to the image's size filled with the background, a missing mask
  // to opaque.
  void ExtractBitmaps(TBitmap* drawn, TBitmap* raw, Colour background, TBitmap* mask) const;
  // The image as a PNG: RGBA for 32 bits, a palette PNG with index 0
  // transparent for 1 to 8 bits with transparency, RGBA for 16 and 24 bits
  // with transparency, the raw pixels unchanged without transparency.
  void SaveToPNG(PngImage& png) const;
  // Makes target (possibly this image) a PNG-block copy of this image.
  void Pack(TSubIcon& target) const;
  // Makes target (possibly this image) a bitmap-form copy of this PNG block.
  void UnpackPNG(TSubIcon& target) const;
  // A 32-bit block from the bitmap; the mask is set where alpha is below 96.
  void SetFrom32BitBitmap(const TBitmap& bmp);

  // Display. The handle is made from the block on first use and kept until
  // the block changes; none without Data or for a block it cannot show.
  const TIconHandle* GetHandle() const;
  void ReleaseHandle() const;
  // Draws the image at its own size with its top-left at (x, y).
  void Draw(TCanvas& canvas, int x, int y) const;
  std::unique_ptr<THiResIcon> CreateIconGraphic() const;

  const TIconDirEntry& Entry() const { return entry_; }
  const std::vector<uint8_t>& Data() const { return data_; }
  THotSpot HotSpot() const { return hotSpot_; }
  void SetHotSpot(THotSpot hotSpot) { hotSpot_ = hotSpot; }
  bool Packed() const { return packed_; }
  void SetPacked(bool packed) { packed_ = packed; }

  // Another image receives a copy; anything else fails.
  void AssignTo(TPersistent* destination) const override;
  // The bitmap takes the format of the image's depth (other depths keep
  // theirs), the image's size, and the image drawn over black.
  void AssignTo(TBitmap& bitmap) const;

 protected:
  virtual TSubIcon* NewOfSameClass() const { return new TSubIcon; }

 private:
  void Parse();
  void TakeContent(const TSubIcon& from);

  mutable int32_t bitCount_ = 0;  // 0: not computed yet
  mutable std::unique_ptr<TIconHandle> handle_;
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

// What holding the block as an image will cost in memory: its image as a
// 32-bit bitmap with its mask, from the PNG or bitmap header (24 bytes are
// enough), or the block's own length when that is more or the header is
// refused anyway.
uint64_t decodedBlockCost(std::span<const uint8_t> block);

}  // namespace icofmt
