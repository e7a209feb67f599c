#pragma once
// The ICO/CUR byte format: header, directory records and image block layout.
#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace icofmt {

inline constexpr size_t kIconHeaderSize = 6;
inline constexpr size_t kDirEntrySize = 16;
// Where a directory entry holds its block's offset, which the writer fills in last.
inline constexpr size_t kDirEntryOffsetField = 12;
inline constexpr size_t kDirRecordSize = 12;  // the entry without its Offset
inline constexpr size_t kInfoHeaderSize = 40;
inline constexpr std::array<uint8_t, 8> kPngSignature = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
// Where a PNG holds its width and height (big-endian): in IHDR, which comes first.
inline constexpr size_t kPngWidthField = 16;
inline constexpr size_t kPngHeightField = 20;

enum class IconType : uint16_t { Icon = 1, Cursor = 2 };

struct IconHeader {
  uint16_t Reserved = 0;
  uint16_t Type = 1;
  uint16_t Count = 0;
  bool Valid() const { return Reserved == 0 && (Type == 1 || Type == 2); }
};

// The first twelve bytes of a directory entry, carried with every image.
struct TIconDirEntry {
  uint8_t Width = 0;
  uint8_t Height = 0;
  uint8_t ColorCount = 0;
  uint8_t Reserved = 0;
  uint16_t Planes = 0;    // cursor: hot spot x
  uint16_t BitCount = 0;  // cursor: hot spot y
  uint32_t Size = 0;
  bool operator==(const TIconDirEntry&) const = default;
};

struct THotSpot {
  uint16_t X = 0;
  uint16_t Y = 0;
  bool operator==(const THotSpot&) const = default;
};

// A whole directory entry as every reader takes it: the record, where its
// block begins (record.Size says how long it is), and for a cursor the hot
// spot that its Planes and Bit count hold. Nothing in it is checked yet.
struct DirectoryEntry {
  TIconDirEntry record;
  uint32_t offset = 0;
  THotSpot hotSpot;  // (0, 0) for an icon
};

IconHeader decodeIconHeader(std::span<const uint8_t, kIconHeaderSize> bytes);
std::array<uint8_t, kIconHeaderSize> encodeIconHeader(const IconHeader& header);
DirectoryEntry decodeDirEntry(std::span<const uint8_t, kDirEntrySize> bytes, IconType type);
std::array<uint8_t, kDirRecordSize> encodeDirRecord(const TIconDirEntry& entry);

// The BITMAPINFOHEADER fields at the start of a bitmap-form block.
struct BitmapInfoHeader {
  uint32_t biSize = 0;
  int32_t biWidth = 0;
  int32_t biHeight = 0;
  uint16_t biPlanes = 0;
  uint16_t biBitCount = 0;
  uint32_t biCompression = 0;
  uint32_t biSizeImage = 0;
  int32_t biXPelsPerMeter = 0;
  int32_t biYPelsPerMeter = 0;
  uint32_t biClrUsed = 0;
  uint32_t biClrImportant = 0;
};

// The fields an image's size and depth are read from without decoding the
// whole header. The height counts the colour and mask rows together.
inline constexpr size_t kInfoWidthField = 4;
inline constexpr size_t kInfoHeightField = 8;
inline constexpr size_t kInfoPlanesField = 12;
inline constexpr size_t kInfoBitCountField = 14;

// Throws InvalidImage when fewer than 40 bytes are given.
BitmapInfoHeader decodeInfoHeader(std::span<const uint8_t> bytes);
std::array<uint8_t, kInfoHeaderSize> encodeInfoHeader(const BitmapInfoHeader& h);

bool hasPngSignature(std::span<const uint8_t> block);

// Where the colour bits of a bitmap-form block begin: 40, plus the palette
// for at most 8 bits per pixel, or plus 12 bytes of bit-field masks.
uint64_t headerAndPaletteLength(const BitmapInfoHeader& h);

}  // namespace icofmt
