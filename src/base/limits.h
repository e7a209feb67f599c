#pragma once
// The limits every reader of untrusted bytes applies, in one place.
#include <cstdint>

namespace icofmt::limits {

// An icon block with a side of this many pixels or more is "Invalid image".
inline constexpr uint32_t kIconSideLimit = 6000;

// The largest PNG side the decoders accept (icon blocks reject more anyway).
inline constexpr uint32_t kPngSideMax = kIconSideLimit - 1;

// Most bytes one decoded container may hold, so that many directory entries
// pointing at one small PNG cannot unpack into gigabytes.
inline constexpr uint64_t kContainerDecodedMax = 256ull << 20;

// Upper bound for one buffer that libpng may allocate while decoding.
inline constexpr uint64_t kPngAllocMax = 512ull << 20;

// Saving: the image size the module declares to hosts, and the most planes
// one pixel may carry (the host's plane map has 16 entries). A host that sends
// more is refused before any buffer is sized from its numbers.
inline constexpr int32_t kHostImageSideMax = 256;
inline constexpr int32_t kHostPlanesMax = 16;

// The most bytes read back from a file the module saves through: the
// delegate's PNG of at most 256 x 256 pixels, a document title, and the
// destination icon file that new images are merged into.
inline constexpr uint64_t kSavePngMax = 16ull << 20;
inline constexpr uint64_t kTitleMax = 32767;
inline constexpr uint64_t kDestinationFileMax = 256ull << 20;

}  // namespace icofmt::limits
