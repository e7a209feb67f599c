#include "save/assembly.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <exception>
#include <memory>

#include "base/errors.h"
#include "base/stream.h"
#include "icon/advanced_icon.h"
#include "pixels/alpha.h"
#include "pixels/bitmap.h"
#include "pixels/bmp_codec.h"
#include "pixels/convert.h"
#include "pixels/png_image.h"
#include "pixels/reduce.h"
#include "pixels/resample.h"
#include "platform/message_box.h"

namespace icofmt::save {

namespace {

constexpr int kPackedSide = 256;
constexpr std::array<int, 3> kSortDepths{4, 8, 32};

struct Format {
  int32_t width, height, bits;
  bool operator==(const Format&) const = default;
};

Format formatOf(const TSubIcon& image) { return {image.Width(), image.Height(), image.BitCount()}; }

bool isIconDepth(int bits) { return bits == 1 || bits == 4 || bits == 8 || bits == 24 || bits == 32; }

void loadIcon(TAdvancedIcon& icon, const Bytes* iconStream) {
  if (iconStream == nullptr || iconStream->empty()) return;
  THCustomMemoryStream in(*iconStream);
  icon.LoadFromStream(in);
}

// The hot spot a new image takes from the images of the cursor: the one it
// replaces, else the one nearest in size (the first of equals), scaled.
THotSpot followedHotSpot(const TSubIconList& images, int32_t replaced, const TSubIcon& image) {
  if (replaced >= 0) return images.Items(static_cast<uint32_t>(replaced))->HotSpot();
  const TSubIcon* nearest = nullptr;
  int64_t best = 0;
  for (uint32_t i = 0; i < images.Count(); ++i) {
    const TSubIcon* other = images.Items(i);
    const int64_t distance = std::abs(int64_t{other->Width()} - image.Width()) +
                             std::abs(int64_t{other->Height()} - image.Height());
    if (nearest == nullptr || distance < best) {
      nearest = other;
      best = distance;
    }
  }
  if (nearest == nullptr) return {};
  return ScaleHotSpot(nearest->HotSpot(), nearest->Width(), nearest->Height(), image.Width(), image.Height());
}

// The new image at its depth, merged into the destination: in place of the
// first image of its format, or added and the images sorted. The image
// merged, or null.
const TSubIcon* mergeImage(TAdvancedIcon& destination, const TBitmap& source, const TBitmap* mask,
                           int32_t depth, bool packed, int32_t mergeMode, const CursorHints& cursor) {
  TAdvancedIcon holder;
  const int s = source.Bits();
  const int d = depth == 0 ? ChooseAutomaticDepth(source) : depth;
  if (!isIconDepth(d)) return nullptr;
  if (s != d) {
    TBitmap colour;
    TBitmap converted = NewMaskBitmap();
    ConvertBitmap(source, mask, colour, &converted, PixelFormatForBits(d), kAlphaThreshold, false);
    holder.Images().AddFromBitmap(colour, &converted, 0);
  } else {
    // AddFromBitmap may drop a 32-bit bitmap's palette; the caller's source stays as it is.
    TBitmap copy = source;
    holder.Images().AddFromBitmap(copy, mask, 0);
  }

  TSubIcon* image = holder.Images().Items(0);
  if (image == nullptr) return nullptr;
  if (image->Width() == kPackedSide && image->Height() == image->Width()) image->SetPacked(packed);

  auto& images = destination.Images();
  const int32_t k = mergeMode == kMergeReplaceExact
                        ? images.FindFormat(image->Width(), image->Height(), image->BitCount())
                        : -1;
  if (images.Count() == 0 && cursor.newFileIsCursor) destination.SetType(IconType::Cursor);
  if (destination.Type() == IconType::Cursor)
    image->SetHotSpot(cursor.hotSpot ? *cursor.hotSpot : followedHotSpot(images, k, *image));
  if (k >= 0) {
    images.ReplaceFrom(&holder, 0, static_cast<uint32_t>(k));
  } else {
    images.TakeFrom(&holder, 0);
    SortIconImages(destination);
  }
  return image;
}

// Each chosen side smaller than the picture, made from its pixels and merged
// by the same rule as the picture itself. A hot spot the host gave for the
// picture moves with it into each smaller image.
void mergeSmallerSizes(TAdvancedIcon& destination, const TBitmap& source, const TBitmap* mask, int32_t depth,
                       int32_t mergeMode, const CursorHints& cursor, const std::vector<int32_t>& sides) {
  const int32_t largest = std::max(source.Width(), source.Height());
  for (int32_t side : sides) {
    if (side < 1 || side >= largest) continue;
    TBitmap scaled;
    TBitmap scaledMask = NewMaskBitmap();
    ScaleToIconSquare(source, mask, side, scaled, scaledMask);
    CursorHints hints = cursor;
    if (cursor.hotSpot) {
      int w = 0;
      int h = 0;
      FitWithin(source.Width(), source.Height(), side, side, w, h);
      const THotSpot within = ScaleHotSpot(*cursor.hotSpot, source.Width(), source.Height(), w, h);
      hints.hotSpot = THotSpot{static_cast<uint16_t>(within.X + (side - w) / 2),
                               static_cast<uint16_t>(within.Y + (side - h) / 2)};
    }
    if (mergeImage(destination, scaled, &scaledMask, depth, false, mergeMode, hints) == nullptr)
      throw InvalidImage();
  }
}

// Steps shared by the bitmap and PNG sources once the destination is loaded:
// the new image and its smaller sizes merged, and the merged icon written.
int32_t mergeInto(TAdvancedIcon& destination, const TBitmap& source, const TBitmap* mask, Bytes* iconStream,
                  int32_t depth, bool packed, int32_t mergeMode, const CursorHints& cursor,
                  const std::vector<int32_t>& smallerSizes) {
  const TSubIcon* image = mergeImage(destination, source, mask, depth, packed, mergeMode, cursor);
  if (image == nullptr) return -1;
  mergeSmallerSizes(destination, source, mask, depth, mergeMode, cursor, smallerSizes);
  const int32_t p = destination.Images().IndexOf(image);
  if (p < 0 || iconStream == nullptr) return p;
  // Written aside first: a merged icon that cannot be written leaves the
  // stream with its previous bytes instead of empty.
  TMemoryStream out;
  destination.SaveToStream(out);
  *iconStream = std::move(out.Bytes());
  return p;
}

}  // namespace

THotSpot ScaleHotSpot(THotSpot spot, int32_t w, int32_t h, int32_t newW, int32_t newH) {
  auto scale = [](int64_t at, int64_t from, int64_t to) -> uint16_t {
    if (from <= 0 || to <= 0) return 0;
    const int64_t scaled = (2 * at + 1) * to / (2 * from);
    return static_cast<uint16_t>(std::clamp<int64_t>(scaled, 0, std::min<int64_t>(to - 1, 0xFFFF)));
  };
  return {scale(spot.X, w, newW), scale(spot.Y, h, newH)};
}

bool SortIconImages(TAdvancedIcon& icon) {
  TSubIconList& images = icon.Images();
  const uint32_t count = images.Count();
  if (count < 2) return false;
  const Format first = formatOf(*images.Items(0));
  bool allSame = true;
  bool anyAsHighAsFirstIsWide = false;
  std::vector<Format> before;
  before.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    const Format f = formatOf(*images.Items(i));
    allSame = allSame && f == first;
    anyAsHighAsFirstIsWide = anyAsHighAsFirstIsWide || f.height == first.width;
    before.push_back(f);
  }
  if (allSame || !anyAsHighAsFirstIsWide) return false;

  TAdvancedIcon holder;
  for (int bits : kSortDepths) {
    int32_t limit = kPackedSide + 1;
    for (;;) {
      int32_t best = -1;
      int32_t bestWidth = 0;
      for (uint32_t i = 0; i < images.Count(); ++i) {
        const Format f = formatOf(*images.Items(i));
        if (f.width == f.height && f.bits == bits && f.width >= 1 && f.width < limit && f.width > bestWidth) {
          best = static_cast<int32_t>(i);
          bestWidth = f.width;
        }
      }
      if (best < 0) break;
      holder.Images().TakeFrom(&icon, static_cast<uint32_t>(best));
      limit = bestWidth;
    }
  }
  holder.Images().TakeAll(icon);
  images.TakeAll(holder);

  for (uint32_t i = 0; i < count; ++i)
    if (!(formatOf(*images.Items(i)) == before[i])) return true;
  return false;
}

int32_t AddBitmapToIconStream(const TBitmap* source, const TBitmap* mask, Bytes* iconStream, int32_t depth,
                              bool packed, int32_t mergeMode, const CursorHints& cursor,
                              const std::vector<int32_t>& smallerSizes) {
  if (source == nullptr) return -1;
  try {
    TAdvancedIcon destination;
    loadIcon(destination, iconStream);
    return mergeInto(destination, *source, mask, iconStream, depth, packed, mergeMode, cursor, smallerSizes);
  } catch (const std::exception&) {
    return -1;
  }
}

int32_t AddPNGStreamToIconStream(const Bytes* pngStream, Bytes* iconStream, int32_t depth, bool packed,
                                 int32_t mergeMode, const CursorHints& cursor,
                                 const std::vector<int32_t>& smallerSizes) {
  if (pngStream == nullptr) return -1;
  try {
    TAdvancedIcon destination;
    loadIcon(destination, iconStream);
    PngImage png;
    png.LoadFromMemory(*pngStream);
    TBitmapFix32 colour;
    TBitmap mask = NewMaskBitmap();
    SplitPng(png, colour, mask, kAlphaThreshold);
    return mergeInto(destination, colour, &mask, iconStream, depth, packed, mergeMode, cursor, smallerSizes);
  } catch (const std::exception&) {
    return -1;
  }
}

WriteOutcome keepDestination(const Bytes& destinationCopy, SaveResult result) {
  WriteOutcome out;
  out.bytes = destinationCopy;
  out.result = result;
  return out;
}

namespace {

// The options form on the destination's images: out takes what the form
// left, since its deletions count whether it closes with Ok or Cancel. False
// when the user cancelled, with out's result saying how.
bool confirmOptions(const Bytes& destinationCopy, SaveChoices& choices, const ShowOptionsFn& showOptions,
                    WriteOutcome& out) {
  out.bytes = destinationCopy;
  const OptionsAnswer answer = showOptions(out.bytes, choices);
  if (answer == OptionsAnswer::Ok) return true;
  out.result =
      answer == OptionsAnswer::CancelledNewFile ? SaveResult::CancelledNewFile : SaveResult::Cancelled;
  return false;
}

}  // namespace

WriteOutcome assembleFromSource(const SourcePair& source, const Bytes& destinationCopy, SaveChoices& choices,
                                const ShowOptionsFn& showOptions, const CursorHints& cursor) {
  if (!source.built) return keepDestination(destinationCopy, SaveResult::Failed);
  try {
    WriteOutcome out;
    // A merge that fails writes what the form left.
    if (!confirmOptions(destinationCopy, choices, showOptions, out)) return out;
    out.newImageIndex =
        AddBitmapToIconStream(source.bitmap, source.mask, &out.bytes, choices.depth, choices.pngCompression,
                              choices.mergeMode, cursor, choices.smallerSizes);
    // The icon is written as the form left it, but a save that did not add
    // the image is no success.
    out.result = out.newImageIndex < 0 ? SaveResult::Failed : SaveResult::Saved;
    return out;
  } catch (const std::exception&) {
    return keepDestination(destinationCopy, SaveResult::Failed);
  }
}

WriteOutcome assembleFromPng(const Bytes* pngReadBack, const Bytes& destinationCopy, SaveChoices& choices,
                             const ShowOptionsFn& showOptions, const CursorHints& cursor) {
  try {
    WriteOutcome out;
    if (!confirmOptions(destinationCopy, choices, showOptions, out)) return out;
    // This path keeps the PNG's own colours at 8 bits whatever depth was chosen.
    out.newImageIndex = AddPNGStreamToIconStream(pngReadBack, &out.bytes, 8, choices.pngCompression,
                                                 choices.mergeMode, cursor, choices.smallerSizes);
    if (out.newImageIndex >= 0) return out;
    platform::messageBox("Error in plugin module: procedure AddPNGStreamToIconStream", "Error",
                         platform::MessageButtons::Ok);
    return keepDestination(destinationCopy, SaveResult::Failed);
  } catch (const std::exception&) {
    return keepDestination(destinationCopy, SaveResult::Failed);
  }
}

}  // namespace icofmt::save
