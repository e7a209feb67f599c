#pragma once
// The destination icon of a save: the new image built at its depth, merged
// into the images of the destination icon, and the bytes the host's file
// receives. Everything here takes plain values; the WriteFinish step of the
// host feeds it from the module state and writes what it returns.
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "icon/sub_icon.h"
#include "save/save_choices.h"

namespace icofmt {
class TAdvancedIcon;
class TBitmap;
}  // namespace icofmt

namespace icofmt::save {

using Bytes = std::vector<std::uint8_t>;

// What makes a save write a cursor, and where its new image's hot spot lies.
// A destination that is a cursor file stays one whatever these say.
struct CursorHints {
  // A destination without images becomes a cursor (its name says so).
  bool newFileIsCursor = false;
  // The hot spot the host gives; without one the new image takes the hot
  // spot of the image it replaces, or that of the image nearest in size
  // scaled to its own, or (0, 0) when there is none.
  std::optional<THotSpot> hotSpot;
};

// Puts the images into the standard order: square 4-bit images from the
// largest (at most 256) down, then square 8-bit, then square 32-bit ones,
// then every other image in its previous order. Leaves an icon alone whose
// images share one format or none of which is as high as the first is wide.
// True when some position now holds an image of another format.
bool SortIconImages(TAdvancedIcon& icon);

// Merges one image made from the bitmap pair into the icon file held in
// iconStream and rewrites iconStream with the merged icon. depth 0 chooses
// the depth from the source; a source of another depth is converted at its
// own size (alpha below 80 transparent). packed applies to a 256 x 256 image
// only. mergeMode kMergeReplaceExact puts the image in place of the first
// image of its size and depth (no sorting), otherwise it is added and the
// images sorted. An empty or unreadable iconStream is an icon without images.
// Each side of smallerSizes below the source's larger side is then made from
// the source (ScaleToIconSquare), converted at depth (0: the automatic depth
// of its own pixels) and merged by the same rule; other sides are skipped.
// Returns the new image's position, or -1 with iconStream unchanged (the
// previous bytes are kept also when the merged icon cannot be written).
std::int32_t AddBitmapToIconStream(const TBitmap* source, const TBitmap* mask, Bytes* iconStream,
                                   std::int32_t depth, bool packed, std::int32_t mergeMode,
                                   const CursorHints& cursor = {},
                                   const std::vector<std::int32_t>& smallerSizes = {});
// The same for an image given as PNG bytes (alpha below 80 transparent).
std::int32_t AddPNGStreamToIconStream(const Bytes* pngStream, Bytes* iconStream, std::int32_t depth,
                                      bool packed, std::int32_t mergeMode, const CursorHints& cursor = {},
                                      const std::vector<std::int32_t>& smallerSizes = {});

// The hot spot (x, y) of an image w x h moved to an image newW x newH: the
// same point of the picture, the centre of its pixel scaled, inside the image.
THotSpot ScaleHotSpot(THotSpot spot, std::int32_t w, std::int32_t h, std::int32_t newW, std::int32_t newH);

// Shows the save options form over destinationCopy. The form may delete
// images from it (on Ok and on Cancel alike) and sets the choices on Ok.
using ShowOptionsFn = std::function<OptionsAnswer(Bytes& destinationCopy, SaveChoices& choices)>;

// What WriteFinish writes: bytes, whole, through the host's file handle
// (nothing when empty), and how the save ended.
struct WriteOutcome {
  Bytes bytes;
  SaveResult result = SaveResult::Saved;
  // The new image's position in the written icon; -1 when none was merged.
  std::int32_t newImageIndex = -1;
};

// The source pair of the Bitmap, Gray, Indexed and RGB modes, as the source
// builder left it: built is false when the captured data did not match the
// image.
struct SourcePair {
  const TBitmap* bitmap = nullptr;
  const TBitmap* mask = nullptr;
  bool built = false;
};

// The main assembly. destinationCopy: the destination icon's bytes before
// the save (empty when there was none). Hosts truncate the destination before
// writing, so a save that fails after a destination existed gives back
// exactly those bytes to write.
WriteOutcome assembleFromSource(const SourcePair& source, const Bytes& destinationCopy, SaveChoices& choices,
                                const ShowOptionsFn& showOptions, const CursorHints& cursor = {});

// The assembly of any other image mode, from the PNG the carried module
// wrote (null when it could not be read back).
WriteOutcome assembleFromPng(const Bytes* pngReadBack, const Bytes& destinationCopy, SaveChoices& choices,
                             const ShowOptionsFn& showOptions, const CursorHints& cursor = {});

// A save that ends before the assembly (an earlier step failed): the
// destination's previous bytes go back, so the truncated file is restored.
WriteOutcome keepDestination(const Bytes& destinationCopy, SaveResult result);

}  // namespace icofmt::save
