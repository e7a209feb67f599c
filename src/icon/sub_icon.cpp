#include "icon/sub_icon.h"

#include <algorithm>
#include <memory>

#include "base/byte_reader.h"
#include "base/checked.h"
#include "base/errors.h"
#include "base/limits.h"
#include "base/stream.h"
#include "icon/icon_graphic.h"

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

TSubIcon::TSubIcon() = default;
TSubIcon::~TSubIcon() = default;

// Copies carry their own platform handle, as the system copies icons.
TSubIcon::TSubIcon(const TSubIcon& other)
    : TPersistent(other),
      bitCount_(other.bitCount_),
      handle_(other.handle_ ? other.handle_->Copy() : nullptr),
      entry_(other.entry_),
      data_(other.data_),
      hotSpot_(other.hotSpot_),
      packed_(other.packed_) {}

TSubIcon& TSubIcon::operator=(const TSubIcon& other) {
  if (this != &other) {
    TSubIcon copy(other);
    std::swap(bitCount_, copy.bitCount_);
    std::swap(handle_, copy.handle_);
    std::swap(entry_, copy.entry_);
    std::swap(data_, copy.data_);
    std::swap(hotSpot_, copy.hotSpot_);
    std::swap(packed_, copy.packed_);
  }
  return *this;
}

const TIconHandle* TSubIcon::GetHandle() const {
  if (data_.empty()) return nullptr;
  if (!handle_) handle_ = CreateIconHandle(data_, Width(), Height());
  return handle_.get();
}

void TSubIcon::ReleaseHandle() const { handle_.reset(); }

void TSubIcon::Draw(TCanvas& canvas, int x, int y) const {
  if (const TIconHandle* handle = GetHandle()) handle->Draw(canvas, x, y);
}

std::unique_ptr<THiResIcon> TSubIcon::CreateIconGraphic() const {
  auto graphic = std::make_unique<THiResIcon>();
  if (const TIconHandle* handle = GetHandle()) graphic->SetHandle(handle->Copy());
  return graphic;
}

void TSubIcon::CreateFromStream(TStream& stream) {
  uint8_t raw[kDirEntrySize];
  if (!readEntry(stream, raw)) throw StreamError("Stream read error");
  const int64_t after = stream.Position();
  const DirectoryEntry entry = decodeDirEntry(raw, IconType::Icon);
  // A Size the whole stream cannot hold would only make us allocate.
  if (entry.record.Size > static_cast<uint64_t>(stream.Size())) throw InvalidImage();
  std::vector<uint8_t> block;
  try {
    stream.SetPosition(entry.offset);
    block = readBlockZeroFilled(stream, entry.record.Size);
  } catch (...) {
    stream.SetPosition(after);
    throw;
  }
  stream.SetPosition(after);
  SetBlock(entry.record, std::move(block));
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
    if (whole) hotSpot_ = decodeDirEntry(raw, IconType::Cursor).hotSpot;
  }
  CreateFromStream(stream);
}

TSubIcon* TSubIcon::CreateCopy() const {
  std::unique_ptr<TSubIcon> copy(NewOfSameClass());
  copy->hotSpot_ = hotSpot_;
  if (const TIconHandle* handle = GetHandle()) copy->handle_ = handle->Copy();
  if (!data_.empty()) copy->SetBlock(entry_, data_);
  copy->entry_ = entry_;
  copy->packed_ = packed_;
  return copy.release();
}

void TSubIcon::TakeContent(const TSubIcon& from) {
  handle_.reset();
  entry_ = from.entry_;
  data_ = from.entry_.Size == 0 ? std::vector<uint8_t>{} : from.data_;
  hotSpot_ = from.hotSpot_;
  packed_ = from.packed_;
  bitCount_ = 0;
}

void TSubIcon::SetBlock(const TIconDirEntry& record, std::vector<uint8_t> block) {
  TIconDirEntry savedEntry = entry_;
  std::vector<uint8_t> savedData = std::move(data_);
  const bool savedPacked = packed_;
  handle_.reset();
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
    UnpackPNG(*this);
    packed_ = true;
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
  // Every use of an image decodes it at its full size (a block lacking its
  // bits falls back to a bitmap of that size), so a larger side is refused
  // here, from the header.
  if (w > limits::kDecodedSideMax || hh > limits::kDecodedSideMax) throw InvalidImage();
}

uint64_t decodedBlockCost(std::span<const uint8_t> block) {
  uint64_t w = 0, h = 0;
  if (hasPngSignature(block)) {
    if (block.size() < kPngHeightField + 4) return block.size();
    w = loadU32be(block.data() + kPngWidthField);
    h = loadU32be(block.data() + kPngHeightField);
  } else {
    if (block.size() < kInfoHeightField + 4) return block.size();
    w = loadU32le(block.data() + kInfoWidthField);
    h = loadU32le(block.data() + kInfoHeightField) >> 1;
    if (w == 0) w = h;
    if (h == 0) h = w;
  }
  if (w > limits::kDecodedSideMax || h > limits::kDecodedSideMax) return block.size();  // refused anyway
  return std::max<uint64_t>(block.size(), kInfoHeaderSize + 1024 + w * h * 4 + rowSize(w, 1) * h);
}

int32_t TSubIcon::Width() const {
  return data_.size() < kInfoWidthField + 4 ? 0
                                            : static_cast<int32_t>(loadU32le(data_.data() + kInfoWidthField));
}

int32_t TSubIcon::Height() const {
  return data_.size() < kInfoHeightField + 4
             ? 0
             : static_cast<int32_t>(loadU32le(data_.data() + kInfoHeightField) >> 1);
}

int32_t TSubIcon::BitCount() const {
  if (bitCount_ == 0 && data_.size() >= kInfoBitCountField + 2)
    bitCount_ = loadU16le(data_.data() + kInfoPlanesField) * loadU16le(data_.data() + kInfoBitCountField);
  return bitCount_;
}

std::string ImageDescription(int32_t width, int32_t height, int32_t bitCount, bool packed) {
  const char* depth = "";
  switch (bitCount) {
    case 1:
      depth = "2 colors";
      break;
    case 4:
      depth = "16 colors";
      break;
    case 8:
      depth = "256 colors";
      break;
    case 16:
      depth = "65k colors";
      break;
    case 24:
      depth = "True Color";
      break;
    case 32:
      depth = "32 bpp";
      break;
  }
  std::string text = std::to_string(width) + "x" + std::to_string(height) + ", " + depth;
  if (packed) text += ", packed";
  return text;
}

std::string TSubIcon::Description() const {
  if (data_.size() >= 4 && data_[0] == 0x89 && data_[1] == 0x50 && data_[2] == 0x4E && data_[3] == 0x47)
    return "Packed";
  return ImageDescription(Width(), Height(), BitCount(), packed_);
}

bool TSubIcon::IsPNG() const { return data_.size() > kPngSignature.size() && hasPngSignature(data_); }

void TSubIcon::AssignTo(TPersistent* destination) const {
  if (auto* other = dynamic_cast<TSubIcon*>(destination)) {
    if (other != this) other->TakeContent(*this);
    return;
  }

  TPersistent::AssignTo(destination);
}

}  // namespace icofmt
