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

}  // namespace icofmt::limits
