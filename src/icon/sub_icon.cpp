#include "icon/sub_icon.h"

#include <algorithm>

#include "base/byte_reader.h"
#include "base/errors.h"
#include "base/limits.h"
#include "base/stream.h"

namespace icofmt {

std::vector<uint8_t> readBlockZeroFilled(TStream& stream, uint32_t size) {
  std::vector<uint8_t> block(size, 0);
  int64_t got = 0;
  while (got < size) {
    int64_t n = stream.Read(block.data() + got, size - got);
    if (n <= 0) break;
    got += n;
  }
  return block;
}

namespace {

// Reads the 16-byte entry at the stream's position; returns false when the
// stream ends inside it.
bool readEntry(TStream& stream, uint8_t (&raw)[kDirEntrySize]) {
  return stream.Read(raw, kDirEntrySize) == static_cast<int64_t>(kDirEntrySize);
}

}  // namespace

void TSubIcon::CreateFromStream(TStream& stream) {
  uint8_t raw[kDirEntrySize];
  if (!readEntry(stream, raw)) throw StreamError("Stream read error");
  const int64_t after = stream.Position();
  const TIconDirEntry record = decodeDirRecord(raw);
  const uint32_t offset = loadU32le(raw + 12);
  // A Size the whole stream cannot hold would only make us allocate.
  if (record.Size > static_cast<uint64_t>(stream.Size())) throw InvalidImage();
  std::vector<uint8_t> block;
  try {
    stream.SetPosition(offset);
    block = readBlockZeroFilled(stream, record.Size);
  } catch (...) {
    stream.SetPosition(after);
    throw;
  }
  stream.SetPosition(after);
  SetBlock(record, std::move(block));
}

void TSubIcon::CreateFromFileEntry(TStream& stream, const TIconDirEntry& entry) {
  SetBlock(entry, readBlockZeroFilled(stream, entry.Size));
}

void TSubIcon::CreateFromBlock(TStream& stream, const TIconDirEntry& record) {
  const int64_t start = stream.Position();
  std::vector<uint8_t> block = readBlockZeroFilled(stream, record.Size);
  stream.SetPosition(start);
  SetBlock(record, std::move(block));
}

void TSubIcon::CreateCursorFromStream(TStream& stream, const IconHeader& header) {
  if (header.Type == static_cast<uint16_t>(IconType::Cursor)) {
    const int64_t at = stream.Position();
    uint8_t raw[kDirEntrySize];
    const bool whole = readEntry(stream, raw);
    stream.SetPosition(at);
    if (whole) hotSpot_ = {loadU16le(raw + 4), loadU16le(raw + 6)};
  }
  CreateFromStream(stream);
}

TSubIcon* TSubIcon::CreateCopy() const {
  TSubIcon* copy = NewOfSameClass();
  copy->entry_ = entry_;
  copy->data_ = data_;
  copy->hotSpot_ = hotSpot_;
  copy->packed_ = packed_;
  return copy;
}

void TSubIcon::SetBlock(const TIconDirEntry& record, std::vector<uint8_t> block) {
  TIconDirEntry savedEntry = entry_;
  std::vector<uint8_t> savedData = std::move(data_);
  const bool savedPacked = packed_;
  entry_ = record;
  entry_.Size = static_cast<uint32_t>(block.size());
  data_ = std::move(block);
  bitCount_ = 0;
  try {
    Parse();
  } catch (...) {
    // A block that fails leaves the image as it was.
    entry_ = savedEntry;
    data_ = std::move(savedData);
    packed_ = savedPacked;
    bitCount_ = 0;
    throw;
  }
}

void TSubIcon::Parse() {
  if (hasPngSignature(data_)) {
    ParsePngBlock();
    return;
  }
  packed_ = false;
  const BitmapInfoHeader h = decodeInfoHeader(data_);
  const uint32_t bits = static_cast<uint32_t>(h.biPlanes) * h.biBitCount;
  entry_.Planes = h.biPlanes;
  entry_.BitCount = h.biBitCount;
  entry_.ColorCount = bits < 8 ? static_cast<uint8_t>(1u << bits) : 0;
  uint32_t w = static_cast<uint32_t>(h.biWidth);
  uint32_t hh = static_cast<uint32_t>(h.biHeight) >> 1;
  if (w == 0)
    w = hh;
  else if (hh == 0)
    hh = w;
  entry_.Width = w <= 255 ? static_cast<uint8_t>(w) : 0;
  entry_.Height = hh <= 255 ? static_cast<uint8_t>(hh) : 0;
  if (bits > 32 || w >= limits::kIconSideLimit || hh >= limits::kIconSideLimit) throw InvalidImage();
}

namespace {

struct PngHeader {
  uint32_t width, height;
  uint8_t depth, colourType;
};

// The IHDR chunk that must follow the signature; throws InvalidImage.
PngHeader readPngHeader(std::span<const uint8_t> block) {
  ByteReader r(block);
  r.skip(kPngSignature.size());
  auto be32 = [&] {
    auto b = r.take(4);
    return (static_cast<uint32_t>(b[0]) << 24) | (static_cast<uint32_t>(b[1]) << 16) |
           (static_cast<uint32_t>(b[2]) << 8) | b[3];
  };
  const uint32_t chunkLength = be32();
  auto type = r.take(4);
  if (chunkLength != 13 || !std::equal(type.begin(), type.end(), "IHDR")) throw InvalidImage();
  PngHeader h;
  h.width = be32();
  h.height = be32();
  h.depth = r.u8();
  h.colourType = r.u8();
  return h;
}

}  // namespace

// Until PNG blocks are decoded, the record is taken from the PNG header: the
// image keeps its PNG block and is marked packed, so it is written back as PNG.
void TSubIcon::ParsePngBlock() {
  const PngHeader h = readPngHeader(data_);
  if (h.width == 0 || h.height == 0 || h.width >= limits::kIconSideLimit ||
      h.height >= limits::kIconSideLimit)
    throw InvalidImage();
  const bool palette = h.colourType == 3 && (h.depth == 1 || h.depth == 4 || h.depth == 8);
  packed_ = true;
  entry_.Width = h.width <= 255 ? static_cast<uint8_t>(h.width) : 0;
  entry_.Height = h.height <= 255 ? static_cast<uint8_t>(h.height) : 0;
  entry_.Planes = 1;
  entry_.BitCount = palette ? h.depth : 32;
  entry_.ColorCount = palette && h.depth < 8 ? static_cast<uint8_t>(1u << h.depth) : 0;
}

int32_t TSubIcon::Width() const {
  if (hasPngSignature(data_)) return static_cast<int32_t>(readPngHeader(data_).width);
  return data_.size() < 8 ? 0 : static_cast<int32_t>(loadU32le(data_.data() + 4));
}

int32_t TSubIcon::Height() const {
  if (hasPngSignature(data_)) return static_cast<int32_t>(readPngHeader(data_).height);
  return data_.size() < 12 ? 0 : static_cast<int32_t>(loadU32le(data_.data() + 8) >> 1);
}

int32_t TSubIcon::BitCount() const {
  if (bitCount_ == 0) {
    if (hasPngSignature(data_))
      bitCount_ = entry_.Planes * entry_.BitCount;
    else if (data_.size() >= 16)
      bitCount_ = loadU16le(data_.data() + 12) * loadU16le(data_.data() + 14);
  }
  return bitCount_;
}

bool TSubIcon::IsPNG() const { return data_.size() > kPngSignature.size() && hasPngSignature(data_); }

void TSubIcon::AssignTo(TPersistent* destination) const {
  if (auto* other = dynamic_cast<TSubIcon*>(destination)) {
    other->entry_ = entry_;
    other->data_ = entry_.Size == 0 ? std::vector<uint8_t>{} : data_;
    other->hotSpot_ = hotSpot_;
    other->packed_ = packed_;
    other->bitCount_ = 0;
    return;
  }
  TPersistent::AssignTo(destination);
}

}  // namespace icofmt
