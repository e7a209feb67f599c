#pragma once
// Listening in on the pixels the host hands the carried module: the colour
// tables at WriteStart and every delivered block at WriteContinue, appended
// one after another. Nothing here writes to the host's buffers.
#include <array>
#include <cstdint>
#include <vector>

#include "save/host_image.h"

namespace icofmt::save {

// Entry i is the colour of palette index i (Indexed) or grey level i (Gray).
struct ColourTables {
  std::array<std::uint8_t, 256> red{};
  std::array<std::uint8_t, 256> green{};
  std::array<std::uint8_t, 256> blue{};
};

// What the host has just filled at WriteContinue: the buffer and the
// rectangle and planes the carried module asked for, and the image's row
// count as the host gives it at this call.
struct DeliveredBlock {
  const std::uint8_t* data = nullptr;
  std::int16_t top = 0, left = 0, bottom = 0, right = 0;
  std::int16_t loPlane = 0, hiPlane = 0;
  std::int16_t imageRows = 0;
};

// Gray and Indexed images only; other modes leave the tables as they are.
// Each table is 256 bytes.
void captureLookupTables(ColourTables& tables, std::uint8_t mode, const std::uint8_t* red,
                         const std::uint8_t* green, const std::uint8_t* blue);

// Bytes the block carries as captured: columns x rows x planes, in Bitmap
// mode rounded up to whole bytes. 0 for an empty or inverted rectangle or a
// mode that is not captured.
std::uint64_t deliveredBlockLength(const DeliveredBlock& block, std::uint8_t mode);

// Appends the block's bytes as they lie at the start of its buffer. A block
// that ends below the image, lies outside the recorded image, has no buffer,
// or would carry the capture past a whole image is dropped without a word: the
// length check of the source builders tells a short capture at WriteFinish.
void appendDeliveredBlock(std::vector<std::uint8_t>& capture, const DeliveredBlock& block,
                          const HostImage& image) noexcept;

}  // namespace icofmt::save
