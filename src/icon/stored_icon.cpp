#include "icon/stored_icon.h"

#include "icon/icon_file_walk.h"

namespace icofmt {

namespace {

// The depth UnpackPNG gives a PNG block: the decoded image is
// 32-bit when it has alpha or a palette with transparency, 8-bit for other
// palette images, else 24-bit; a 32-bit image keeps 32 bits unless the
// directory says 1, 4 or 8 bits, which the block is then made; any other
// image keeps its own depth.
int32_t unpackedBits(const PngHeader& png, uint16_t directoryBits) {
  const bool paletted = png.colourType == PngColourType::Palette;
  const bool alpha = png.colourType == PngColourType::Rgba || png.colourType == PngColourType::GreyAlpha ||
                     png.hasTransparency;
  const int32_t decoded = paletted ? (png.hasTransparency ? 32 : 8) : alpha ? 32 : 24;
  if (directoryBits == 1 || directoryBits == 4 || directoryBits == 8) return directoryBits;
  return decoded;
}

}  // namespace

int32_t TStoredImage::Width() const { return Png ? Png->width : Bitmap->Width(); }
int32_t TStoredImage::Height() const { return Png ? Png->height : Bitmap->Height(); }
int32_t TStoredImage::BitCount() const {
  return Png ? unpackedBits(*Png, Record.BitCount) : Bitmap->BitCount();
}

std::string TStoredImage::Description() const {
  if (!Png) return Bitmap->Description();
  // Images read from a file are unpacked and remembered as packed.
  return ImageDescription(Width(), Height(), BitCount(), true);
}

std::unique_ptr<TSubIcon> TStoredImage::Unpack() const {
  if (Bitmap) return std::unique_ptr<TSubIcon>(Bitmap->CreateCopy());
  auto image = std::make_unique<TFileIconImage>();
  image->SetBlock(Record, Block);
  image->SetHotSpot(HotSpot);
  return image;
}

bool TStoredIcon::LoadFromFile(const std::string& path) {
  images_.clear();
  type_ = IconType::Icon;
  struct Reader : IconFileVisitor {
    TStoredIcon& icon;
    explicit Reader(TStoredIcon& i) : icon(i) {}
    void Header(const IconHeader& header, uint16_t slots) override {
      icon.type_ = static_cast<IconType>(header.Type);
      icon.images_.reserve(slots);
    }
    void Entry(const DirectoryEntry& entry, std::vector<uint8_t> block) override {
      TStoredImage image;
      image.Record = entry.record;
      image.HotSpot = entry.hotSpot;
      if (hasPngSignature(block)) {
        image.Png = PngImage::ReadHeader(block);
        image.Block = std::move(block);
      } else {
        auto bitmap = std::make_unique<TFileIconImage>();
        bitmap->SetBlock(entry.record, std::move(block));
        bitmap->SetHotSpot(image.HotSpot);
        image.Bitmap = std::move(bitmap);
      }
      icon.images_.push_back(std::move(image));
    }
  } reader(*this);
  return walkIconFile(path, reader) && !images_.empty();
}

}  // namespace icofmt
