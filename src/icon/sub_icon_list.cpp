#include "icon/sub_icon_list.h"

#include <algorithm>
#include <cstdlib>

#include "base/byte_reader.h"
#include "base/checked.h"
#include "base/errors.h"
#include "base/limits.h"
#include "base/stream.h"
#include "icon/advanced_icon.h"
#include "pixels/alpha.h"
#include "pixels/bitmap.h"
#include "pixels/bmp_codec.h"

namespace icofmt {

void TSubIconList::SetCapacity(uint16_t n) {
  capacity_ = std::max(n, Count());
  items_.reserve(capacity_);
}

void TSubIconList::Add(std::unique_ptr<TSubIcon> image) {
  if (items_.size() >= kMaxImages) throw Error("Too many images");
  items_.push_back(std::move(image));
  if (items_.size() > capacity_) capacity_ = Count();
}

std::unique_ptr<TSubIcon> TSubIconList::Delete(uint32_t index, bool free) {
  if (index >= items_.size()) return nullptr;
  std::unique_ptr<TSubIcon> image = std::move(items_[index]);
  items_.erase(items_.begin() + index);
  if (free) image.reset();
  return image;
}

TSubIcon* TSubIconList::Items(uint32_t index) const {
  return index < items_.size() ? items_[index].get() : nullptr;
}

void TSubIconList::Clear() {
  items_.clear();
  items_.shrink_to_fit();
  capacity_ = 0;
}

int32_t TSubIconList::IndexOf(const TSubIcon* image) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i].get() == image) return static_cast<int32_t>(i);
  return -1;
}

int32_t TSubIconList::FindFormat(int32_t width, int32_t height, int32_t bitsPerPixel) const {
  for (size_t i = 0; i < items_.size(); ++i) {
    const TSubIcon& image = *items_[i];
    if (image.Width() == width && image.Height() == height && image.BitCount() == bitsPerPixel)
      return static_cast<int32_t>(i);
  }
  return -1;
}

void TSubIconList::TakeFrom(TAdvancedIcon* source, uint32_t index) {
  if (!source || index >= source->Images().Count()) return;
  // Room first, so that a full list leaves the image with its source.
  if (items_.size() >= kMaxImages) throw Error("Too many images");
  Add(source->Images().Delete(index, false));
}

std::unique_ptr<TSubIcon> TSubIconList::ReplaceFrom(TAdvancedIcon* source, uint32_t sourceIndex,
                                                    uint32_t index) {
  if (!source || sourceIndex >= source->Images().Count() || index >= items_.size()) return nullptr;
  std::unique_ptr<TSubIcon> displaced = std::move(items_[index]);
  items_[index] = source->Images().Delete(sourceIndex, false);
  return displaced;
}

void TSubIconList::TakeAll(TAdvancedIcon& source) {
  if (&source.Images() == this) return;
  while (source.Images().Count() > 0) TakeFrom(&source, 0);
}

namespace {

[[noreturn]] void notValid() { throw InvalidBitmap(); }

// Reads exactly n bytes of the serialised bitmap or fails as not valid.
void readOrFail(TStream& s, void* out, int64_t n) {
  if (n > 0 && s.Read(out, n) != n) notValid();
}

}  // namespace

void TSubIconList::AddFromDIB(TStream& colour, TStream* mask, uint8_t fill, uint32_t dataLength) {
  const int64_t start = colour.Position();
  // Never trust dataLength beyond what the stream holds.
  const uint64_t available = std::min<uint64_t>(dataLength, std::max<int64_t>(0, colour.Size() - start));

  uint8_t sizeField[4];
  readOrFail(colour, sizeField, 4);
  const uint32_t headerSize = loadU32le(sizeField);
  BitmapInfoHeader h;
  std::vector<uint8_t> header;
  bool core = headerSize == 12;
  if (core) {
    uint8_t rest[8];
    readOrFail(colour, rest, 8);
    ByteReader r(rest);
    h.biSize = kInfoHeaderSize;
    h.biWidth = r.u16le();
    h.biHeight = r.u16le();
    h.biPlanes = r.u16le();
    h.biBitCount = r.u16le();
    auto enc = encodeInfoHeader(h);
    header.assign(enc.begin(), enc.end());
  } else {
    if (headerSize < kInfoHeaderSize || headerSize > available) notValid();
    header.resize(headerSize);
    storeU32le(header.data(), headerSize);
    readOrFail(colour, header.data() + 4, headerSize - 4);
    h = decodeInfoHeader(header);
  }
  if (h.biPlanes != 1) notValid();

  if (header.size() == kInfoHeaderSize && (h.biBitCount == 16 || h.biBitCount == 32) &&
      h.biCompression == 3) {
    uint8_t masks[12];
    readOrFail(colour, masks, 12);  // bit-field masks are dropped
  }
  if (h.biClrUsed == 0 && (h.biBitCount == 1 || h.biBitCount == 4 || h.biBitCount == 8))
    h.biClrUsed = 1u << h.biBitCount;

  const uint64_t entryBytes = core ? 3 : 4;
  const uint64_t consumed = static_cast<uint64_t>(colour.Position() - start);
  if (h.biClrUsed > (available - std::min(available, consumed)) / entryBytes) notValid();
  std::vector<uint8_t> palette(4 * static_cast<size_t>(h.biClrUsed), 0);
  for (uint32_t i = 0; i < h.biClrUsed; ++i)
    readOrFail(colour, &palette[4 * i], static_cast<int64_t>(entryBytes));

  const uint64_t absHeight = static_cast<uint64_t>(std::llabs(static_cast<int64_t>(h.biHeight)));
  const uint64_t width = static_cast<uint32_t>(h.biWidth);
  // Icon blocks reject sides of 6000 and more anyway; refusing them here
  // keeps every size below computable and small.
  if (width >= limits::kIconSideLimit || absHeight >= limits::kIconSideLimit) throw InvalidImage();
  if (h.biSizeImage == 0) h.biSizeImage = static_cast<uint32_t>(rowSize(width, h.biBitCount) * absHeight);
  const uint64_t afterPalette = static_cast<uint64_t>(colour.Position() - start);
  const uint64_t colourBytes =
      std::min<uint64_t>(h.biSizeImage, available - std::min(available, afterPalette));
  const uint64_t maskSize = rowSize(width, 1) * absHeight;

  h.biSizeImage = static_cast<uint32_t>(h.biSizeImage + maskSize);
  h.biHeight = static_cast<int32_t>(static_cast<uint32_t>(h.biHeight) * 2);
  auto enc = encodeInfoHeader(h);
  std::copy(enc.begin(), enc.end(), header.begin());  // fields beyond 40 bytes stay

  std::vector<uint8_t> block;
  block.reserve(header.size() + palette.size() + colourBytes + maskSize);
  block.insert(block.end(), header.begin(), header.end());
  block.insert(block.end(), palette.begin(), palette.end());
  const size_t colourAt = block.size();
  block.resize(colourAt + colourBytes);
  readOrFail(colour, block.data() + colourAt, static_cast<int64_t>(colourBytes));
  const size_t maskAt = block.size();
  block.resize(maskAt + maskSize, fill);
  if (mask) {
    // A short mask stream leaves the rest opaque rather than failing.
    std::fill(block.begin() + maskAt, block.end(), 0);
    mask->Read(block.data() + maskAt, static_cast<int64_t>(maskSize));
  }

  TIconDirEntry record;
  auto image = std::make_unique<TFileIconImage>();
  image->SetBlock(record, std::move(block));
  Add(std::move(image));
}

void TSubIconList::AddFromBitmap(TBitmap& colour, const TBitmap* mask, uint8_t value) {
  TBitmap derivedMask;
  const TBitmap* useMask = mask;
  if (mask && mask->Width() == 0) useMask = nullptr;
  if (colour.Format() == PixelFormat::Bits32) {
    colour.SetPalette({});
    if (!mask) {
      MaskFromZeroAlpha(colour, derivedMask, value, false);
      if (derivedMask.Width() == 0) SetupOpaqueMask(derivedMask, 1, 1);
      useMask = &derivedMask;
    }
  }
  TBitmap work;
  const TBitmap* store = &colour;
  const PixelFormat f = colour.Format();
  if (f == PixelFormat::Device || f == PixelFormat::Bits15 || f == PixelFormat::Bits16 ||
      f == PixelFormat::Custom || colour.Width() == 0) {
    work.SetPixelFormat(PixelFormat::Bits24);
    if (colour.Width() == 0) {
      work.SetSize(1, 1);
    } else {
      work.SetSize(colour.Width(), colour.Height());
      DrawBitmap(colour, work);
    }
    store = &work;
  } else if (f == PixelFormat::Bits24 && !colour.Palette().empty()) {
    work = colour;
    work.SetPalette({});
    store = &work;
  }

  TMemoryStream colourStream;
  if (store->Format() == PixelFormat::Bits32)
    TBitmapFix32(*store).SaveToStream(colourStream);
  else
    WriteBmp(*store, colourStream);
  TMemoryStream maskStream;
  if (useMask) WriteBmp(*useMask, maskStream);

  constexpr auto kFileHeader = static_cast<int64_t>(kBmpFileHeaderSize);
  colourStream.SetPosition(std::min(kFileHeader, colourStream.Size()));
  if (useMask && maskStream.Size() >= kFileHeader)
    maskStream.SetPosition(loadU32le(maskStream.Bytes().data() + kBmpPixelOffsetField));
  if (store->Width() > 0)
    AddFromDIB(colourStream, useMask ? &maskStream : nullptr, value,
               static_cast<uint32_t>(std::max<int64_t>(0, colourStream.Size() - kFileHeader)));
}

}  // namespace icofmt
