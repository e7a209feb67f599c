#pragma once
// The limits every reader of untrusted bytes applies, in one place. They are
// chosen so that any input of 2 MiB or less is handled by every command of the
// module well under a second and 256 MiB of memory, while keeping every real
// icon: real icons hold a few dozen images at most, no side above 256 (a few
// carry PNG images of 512, 768 or 1024) and a few MiB decoded.
#include <cstdint>

namespace icofmt::limits {

// An icon block with a side of this many pixels or more is "Invalid image".
inline constexpr uint32_t kIconSideLimit = 6000;

// The largest side an image is decoded at, bitmap block or PNG. A block that
// says more is refused from its header, before anything is decoded or
// allocated, like any invalid image; 1024 keeps the largest real icons.
inline constexpr uint32_t kDecodedSideMax = 1024;
static_assert(kDecodedSideMax < kIconSideLimit);

// The most pixels one decoded image may have.
inline constexpr uint64_t kDecodedPixelsMax = uint64_t{kDecodedSideMax} * kDecodedSideMax;

// The largest PNG side the decoders accept.
inline constexpr uint32_t kPngSideMax = kDecodedSideMax;

// Most bytes one container may hold decoded: each entry is charged what its
// image takes as a 32-bit bitmap with its mask (from the block's header,
// before decoding) or its block length, whichever is more. Many entries
// pointing at one block are read until this runs out; the rest are skipped
// without being decoded. 8 MiB hold one 1024 x 1024 image with every
// smaller size (about 6 MiB, the largest real icons) or thirty images of
// 256 x 256; the bound is set by a save, which packs every PNG image of the
// destination again, and stays within a second for the worst of them.
inline constexpr uint64_t kContainerDecodedMax = 8ull << 20;

// Most directory entries read from one icon; the entries after these are
// ignored as if the directory ended there. Each read entry may cost a
// decode, a preview line and a copy at a merge.
inline constexpr uint32_t kDirEntriesMax = 512;

// Upper bound for all buffers libpng holds at once while decoding: a
// 1024 x 1024 image of 16-bit RGBA rows with its row buffers fits.
inline constexpr uint64_t kPngAllocMax = 64ull << 20;

// PNG chunks: the most ancillary chunks kept and the largest chunk read
// (text, iCCP and sPLT chunks are discarded unread anyway).
inline constexpr uint32_t kPngChunkCacheMax = 128;
inline constexpr uint32_t kPngChunkMallocMax = 8u << 20;

// Saving: the image size the module declares to hosts, and the most planes
// one pixel may carry (the host's plane map has 16 entries). A host that sends
// more is refused before any buffer is sized from its numbers.
inline constexpr int32_t kHostImageSideMax = 256;
inline constexpr int32_t kHostPlanesMax = 16;

// The most bytes read back from a file the module saves through: the
// carried module's PNG of at most 256 x 256 pixels, a document title, and
// the destination icon file that new images are merged into.
inline constexpr uint64_t kSavePngMax = 16ull << 20;
inline constexpr uint64_t kTitleMax = 32767;
inline constexpr uint64_t kDestinationFileMax = 256ull << 20;

}  // namespace icofmt::limits
