#include "icon/advanced_icon.h"

#include <algorithm>
#include <new>

#include "base/byte_reader.h"
#include "base/errors.h"
#include "base/limits.h"
#include "base/stream.h"
#include "icon/icon_file_walk.h"

namespace icofmt {

namespace {

// Bytes one container may hold decoded, so that many entries pointing at one
// block cannot multiply it into gigabytes.
class BlockBudget {
 public:
  bool take(uint64_t bytes) {
    if (bytes > left_) return false;
    left_ -= bytes;
    return true;
  }
  void giveBack(uint64_t bytes) { left_ += bytes; }

 private:
  uint64_t left_ = limits::kContainerDecodedMax;
};

// What an entry will cost once read, from its header: a PNG block unpacks
// to a bitmap, and every image is decoded at its size when it is used. The
// stream is left where it was.
struct EntryCost {
  uint64_t bytes = 0;
  // A PNG block is decoded while it is read, so its cost is spent even when
  // it fails; a refused bitmap block cost only a look at its header, and is
  // given back, so that bad entries cannot use up the budget of good ones.
  bool decodedOnReading = false;
};

EntryCost entryCost(TStream& stream, int64_t offset, uint32_t size) {
  const int64_t at = stream.Position();
  uint8_t head[24] = {};
  stream.SetPosition(offset);
  const int64_t got = stream.Read(head, std::min<int64_t>(sizeof head, size));
  stream.SetPosition(at);
  const std::span<const uint8_t> peek(head, static_cast<size_t>(std::max<int64_t>(0, got)));
  return {std::max<uint64_t>(size, decodedBlockCost(peek)), hasPngSignature(peek)};
}

// The directory entries a reader looks at; those behind them are ignored.
uint32_t entriesRead(const IconHeader& header) {
  return std::min<uint32_t>(header.Count, limits::kDirEntriesMax);
}

}  // namespace

void TAdvancedIcon::Assign(const TPersistent* source) {
  auto* other = dynamic_cast<const TAdvancedIcon*>(source);
  if (!other) {
    TPersistent::Assign(source);
    return;
  }
  if (other == this) return;
  type_ = other->type_;
  images_.Clear();
  images_.SetCapacity(other->images_.Count());
  for (uint32_t i = 0; i < other->images_.Count(); ++i) {
    auto copy = std::make_unique<TSubIcon>();
    copy->Assign(other->images_.Items(i));
    images_.Add(std::move(copy));
  }
}

bool TAdvancedIcon::ReadHeader(TStream& stream, IconHeader& header) {
  type_ = IconType::Icon;
  uint8_t raw[kIconHeaderSize];
  if (stream.Read(raw, kIconHeaderSize) != static_cast<int64_t>(kIconHeaderSize)) return false;
  header = decodeIconHeader(std::span<const uint8_t, kIconHeaderSize>(raw));
  if (!header.Valid()) return false;
  type_ = static_cast<IconType>(header.Type);
  // Reserve no more slots than the directory the stream holds can describe.
  const int64_t entriesThere = std::max<int64_t>(0, stream.Size() - stream.Position()) / kDirEntrySize;
  images_.SetCapacity(static_cast<uint16_t>(std::min<int64_t>(entriesRead(header), entriesThere)));
  return true;
}

bool walkIconFile(const std::string& path, IconFileVisitor& visitor) {
  TFileStream file(path, TFileStream::Mode::OpenRead);
  uint8_t rawHeader[kIconHeaderSize];
  if (file.Read(rawHeader, kIconHeaderSize) != static_cast<int64_t>(kIconHeaderSize)) return false;
  const IconHeader header = decodeIconHeader(std::span<const uint8_t, kIconHeaderSize>(rawHeader));
  if (!header.Valid()) return false;
  const int64_t length = file.Size();
  // Reserve no more slots than the directory the file holds can describe.
  const int64_t entriesThere = std::max<int64_t>(0, length - file.Position()) / kDirEntrySize;
  visitor.Header(header, static_cast<uint16_t>(std::min<int64_t>(entriesRead(header), entriesThere)));
  BlockBudget budget;
  for (uint32_t j = 0; j < entriesRead(header); ++j) {
    uint8_t raw[kDirEntrySize];
    if (file.Read(raw, kDirEntrySize) != static_cast<int64_t>(kDirEntrySize)) break;
    const int64_t after = file.Position();  // 6 + 16 * (j + 1)
    const TIconDirEntry record = decodeDirRecord(raw);
    const int32_t offset = static_cast<int32_t>(loadU32le(raw + kDirEntryOffsetField));
    if (offset < after || length <= offset) break;
    if (record.Size <= kInfoHeaderSize || record.Size > static_cast<uint64_t>(length)) continue;
    const EntryCost cost = entryCost(file, offset, record.Size);
    if (!budget.take(cost.bytes)) continue;
    try {
      file.SetPosition(offset);
      visitor.Entry(record, readBlockZeroFilled(file, record.Size));
    } catch (const std::bad_alloc&) {
      throw;  // not a bad entry: skipping it would lose an image of a good icon
    } catch (const std::exception&) {
      // One bad entry never spoils the others.
      if (!cost.decodedOnReading) budget.giveBack(cost.bytes);
    }
    file.SetPosition(after);
  }
  return true;
}

bool TAdvancedIcon::LoadFromFile(const std::string& path) {
  images_.Clear();
  type_ = IconType::Icon;
  struct Reader : IconFileVisitor {
    TAdvancedIcon& icon;
    explicit Reader(TAdvancedIcon& i) : icon(i) {}
    void Header(const IconHeader& header, uint16_t slots) override {
      icon.type_ = static_cast<IconType>(header.Type);
      icon.images_.SetCapacity(slots);
    }
    void Entry(const TIconDirEntry& record, std::vector<uint8_t> block) override {
      auto image = std::make_unique<TFileIconImage>();
      image->SetBlock(record, std::move(block));
      if (icon.type_ == IconType::Cursor) image->SetHotSpot({record.Planes, record.BitCount});
      icon.images_.Add(std::move(image));
    }
  } reader(*this);
  if (!walkIconFile(path, reader)) return false;
  return images_.Count() > 0;
}

bool TAdvancedIcon::LoadFromStream(TStream& stream) {
  images_.Clear();
  stream.SetPosition(0);
  IconHeader header;
  if (!ReadHeader(stream, header)) return false;
  BlockBudget budget;
  for (uint32_t j = 0; j < entriesRead(header); ++j) {
    const int64_t at = stream.Position();
    if (stream.Size() - at < static_cast<int64_t>(kDirEntrySize)) break;
    uint8_t raw[kDirEntrySize];
    stream.ReadBuffer(raw, kDirEntrySize);
    stream.SetPosition(at);
    const uint32_t size = loadU32le(raw + kDirEntrySizeField);
    EntryCost cost;
    if (size <= static_cast<uint64_t>(stream.Size()))
      cost = entryCost(stream, loadU32le(raw + kDirEntryOffsetField), size);
    if (size > static_cast<uint64_t>(stream.Size()) || !budget.take(cost.bytes)) {
      stream.SetPosition(at + static_cast<int64_t>(kDirEntrySize));
      continue;
    }
    try {
      auto image = std::make_unique<TFileIconImage>();
      image->CreateCursorFromStream(stream, header);
      images_.Add(std::move(image));
    } catch (const std::bad_alloc&) {
      throw;  // a merge would write the icon without the image
    } catch (const std::exception&) {
      if (!cost.decodedOnReading) budget.giveBack(cost.bytes);
      stream.SetPosition(at + static_cast<int64_t>(kDirEntrySize));
    }
  }
  return images_.Count() > 0;
}

bool TAdvancedCursor::LoadCursorFromStream(TStream& stream) {
  images_.Clear();
  stream.SetPosition(0);
  IconHeader header;
  if (!ReadHeader(stream, header)) return false;
  BlockBudget budget;
  for (uint32_t j = 0; j < entriesRead(header); ++j) {
    const int64_t at = stream.Position();
    uint8_t raw[kDirEntrySize];
    if (stream.Read(raw, kDirEntrySize) == static_cast<int64_t>(kDirEntrySize)) {
      stream.SetPosition(at);
      const uint32_t size = loadU32le(raw + kDirEntrySizeField);
      // Past the container's budget the reading ends like at a failing image.
      if (size <= static_cast<uint64_t>(stream.Size()) &&
          !budget.take(entryCost(stream, loadU32le(raw + kDirEntryOffsetField), size).bytes))
        throw InvalidImage();
    }
    stream.SetPosition(at);
    auto image = std::make_unique<TFileCursorImage>();
    image->CreateCursorFromStream(stream, header);  // errors reach the caller
    images_.Add(std::move(image));
  }
  return true;
}

void TAdvancedIcon::SaveToStream(TStream& stream) const {
  const uint16_t count = images_.Count();
  if (count == 0) return;
  // Images marked packed are written as PNG blocks: through a temporary
  // container of packed copies, so this one stays as it is.
  for (uint32_t j = 0; j < count; ++j) {
    const TSubIcon* image = images_.Items(j);
    if (image->Packed() && !image->IsPNG()) {
      TAdvancedIcon packed;
      packed.type_ = type_;
      packed.images_.SetCapacity(count);
      for (uint32_t k = 0; k < count; ++k) {
        const TSubIcon* from = images_.Items(k);
        auto copy = std::make_unique<TSubIcon>();
        if (from->Packed() && !from->IsPNG())
          from->Pack(*copy);
        else
          copy->Assign(from);
        packed.images_.Add(std::move(copy));
      }
      packed.SaveToStream(stream);
      return;
    }
  }
  const bool cursor = type_ == IconType::Cursor;
  stream.WriteBytes(
      encodeIconHeader({0, static_cast<uint16_t>(cursor ? IconType::Cursor : IconType::Icon), count}));
  const int64_t base = stream.Position();
  uint8_t noOffset[4] = {0, 0, 0, 0};
  for (uint32_t j = 0; j < count; ++j) {
    const TSubIcon* image = images_.Items(j);
    TIconDirEntry entry = image->Entry();
    if (cursor) {
      entry.Planes = image->HotSpot().X;
      entry.BitCount = image->HotSpot().Y;
    }
    stream.WriteBytes(encodeDirRecord(entry));
    stream.WriteBuffer(noOffset, 4);
  }
  for (uint32_t j = 0; j < count; ++j) {
    const TSubIcon* image = images_.Items(j);
    const int64_t offset = stream.Position();
    uint8_t field[4];
    storeU32le(field, static_cast<uint32_t>(offset));
    stream.SetPosition(base + static_cast<int64_t>(kDirEntryOffsetField + kDirEntrySize * j));
    stream.WriteBuffer(field, 4);
    stream.Seek(0, SeekOrigin::End);
    stream.WriteBytes(image->Data());
  }
}

}  // namespace icofmt
