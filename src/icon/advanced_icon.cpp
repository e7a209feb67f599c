#include "icon/advanced_icon.h"

#include "base/byte_reader.h"
#include "base/stream.h"
#include "icon/icon_file_walk.h"

namespace icofmt {

namespace {

// Empties the container, then makes each block the walk accepts an image
// of it, of the reader's class, with its entry's hot spot.
template <class Image>
class ImageReader final : public IconFileVisitor {
 public:
  explicit ImageReader(TAdvancedIcon& icon) : icon_(icon) {
    icon_.Images().Clear();
    icon_.SetType(IconType::Icon);
  }
  void Header(const IconHeader& header, uint16_t slots) override {
    icon_.SetType(static_cast<IconType>(header.Type));
    icon_.Images().SetCapacity(slots);
  }
  void Entry(const DirectoryEntry& entry, std::vector<uint8_t> block) override {
    auto image = std::make_unique<Image>();
    image->SetBlock(entry.record, std::move(block));
    image->SetHotSpot(entry.hotSpot);
    icon_.Images().Add(std::move(image));
  }

 private:
  TAdvancedIcon& icon_;
};

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

bool TAdvancedIcon::LoadFromFile(const std::string& path) {
  ImageReader<TFileIconImage> reader(*this);
  return walkIconFile(path, reader) && images_.Count() > 0;
}

bool TAdvancedIcon::LoadFromStream(TStream& stream) {
  ImageReader<TFileIconImage> reader(*this);
  return walkIconDirectory(stream, WalkPolicy::streamReader(), reader) && images_.Count() > 0;
}

bool TAdvancedCursor::LoadCursorFromStream(TStream& stream) {
  ImageReader<TFileCursorImage> reader(*this);
  return walkIconDirectory(stream, WalkPolicy::cursorReader(), reader);
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
