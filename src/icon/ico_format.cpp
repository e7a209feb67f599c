#include "icon/ico_format.h"

#include <algorithm>

#include "base/byte_reader.h"

namespace icofmt {

IconHeader decodeIconHeader(std::span<const uint8_t, kIconHeaderSize> bytes) {
  ByteReader r(bytes);
  IconHeader header;
  header.Reserved = r.u16le();
  header.Type = r.u16le();
  header.Count = r.u16le();
  return header;
}

std::array<uint8_t, kIconHeaderSize> encodeIconHeader(const IconHeader& header) {
  std::array<uint8_t, kIconHeaderSize> out{};
  storeU16le(&out[0], header.Reserved);
  storeU16le(&out[2], header.Type);
  storeU16le(&out[4], header.Count);
  return out;
}

DirectoryEntry decodeDirEntry(std::span<const uint8_t, kDirEntrySize> bytes, IconType type) {
  ByteReader r(bytes);
  DirectoryEntry entry;
  TIconDirEntry& e = entry.record;
  e.Width = r.u8();
  e.Height = r.u8();
  e.ColorCount = r.u8();
  e.Reserved = r.u8();
  e.Planes = r.u16le();
  e.BitCount = r.u16le();
  e.Size = r.u32le();
  entry.offset = r.u32le();
  if (type == IconType::Cursor) entry.hotSpot = {entry.record.Planes, entry.record.BitCount};
  return entry;
}

std::array<uint8_t, kDirRecordSize> encodeDirRecord(const TIconDirEntry& e) {
  std::array<uint8_t, kDirRecordSize> out{e.Width, e.Height, e.ColorCount, e.Reserved};
  storeU16le(&out[4], e.Planes);
  storeU16le(&out[6], e.BitCount);
  storeU32le(&out[8], e.Size);
  return out;
}

BitmapInfoHeader decodeInfoHeader(std::span<const uint8_t> bytes) {
  ByteReader r(bytes);
  BitmapInfoHeader h;
  h.biSize = r.u32le();
  h.biWidth = r.i32le();
  h.biHeight = r.i32le();
  h.biPlanes = r.u16le();
  h.biBitCount = r.u16le();
  h.biCompression = r.u32le();
  h.biSizeImage = r.u32le();
  h.biXPelsPerMeter = r.i32le();
  h.biYPelsPerMeter = r.i32le();
  h.biClrUsed = r.u32le();
  h.biClrImportant = r.u32le();
  return h;
}

std::array<uint8_t, kInfoHeaderSize> encodeInfoHeader(const BitmapInfoHeader& h) {
  std::array<uint8_t, kInfoHeaderSize> out{};
  uint8_t* p = out.data();
  storeU32le(p + 0, h.biSize);
  storeU32le(p + 4, static_cast<uint32_t>(h.biWidth));
  storeU32le(p + 8, static_cast<uint32_t>(h.biHeight));
  storeU16le(p + 12, h.biPlanes);
  storeU16le(p + 14, h.biBitCount);
  storeU32le(p + 16, h.biCompression);
  storeU32le(p + 20, h.biSizeImage);
  storeU32le(p + 24, static_cast<uint32_t>(h.biXPelsPerMeter));
  storeU32le(p + 28, static_cast<uint32_t>(h.biYPelsPerMeter));
  storeU32le(p + 32, h.biClrUsed);
  storeU32le(p + 36, h.biClrImportant);
  return out;
}

bool hasPngSignature(std::span<const uint8_t> block) {
  return block.size() >= kPngSignature.size() &&
         std::equal(kPngSignature.begin(), kPngSignature.end(), block.begin());
}

uint64_t headerAndPaletteLength(const BitmapInfoHeader& h) {
  const uint64_t bits = static_cast<uint64_t>(h.biPlanes) * h.biBitCount;
  if (bits <= 8) {
    const uint64_t colours = h.biClrUsed != 0 ? h.biClrUsed : (uint64_t{1} << bits);
    return kInfoHeaderSize + 4 * colours;
  }
  return kInfoHeaderSize + ((h.biCompression & 3) != 0 ? 12 : 0);
}

}  // namespace icofmt
