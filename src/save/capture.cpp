#include "save/capture.h"

#include <algorithm>

namespace icofmt::save {

void captureLookupTables(ColourTables& tables, std::uint8_t mode, const std::uint8_t* red,
                         const std::uint8_t* green, const std::uint8_t* blue) {
  if (mode != kModeGray && mode != kModeIndexed) return;
  std::copy_n(red, 256, tables.red.begin());
  std::copy_n(green, 256, tables.green.begin());
  std::copy_n(blue, 256, tables.blue.begin());
  // The interface documents the tables for Indexed images only, so a host
  // may leave them empty for Gray ones; no real Gray image is black at
  // every level.
  const auto zero = [](const auto& table) {
    return std::all_of(table.begin(), table.end(), [](std::uint8_t v) { return v == 0; });
  };
  if (mode == kModeGray && zero(tables.red) && zero(tables.green) && zero(tables.blue))
    for (int i = 0; i < 256; ++i)
      tables.red[i] = tables.green[i] = tables.blue[i] = static_cast<std::uint8_t>(i);
}

std::uint64_t deliveredBlockLength(const DeliveredBlock& block, std::uint8_t mode) {
  const std::int32_t columns = block.right - block.left;
  const std::int32_t rows = block.bottom - block.top;
  const std::int32_t planes = block.hiPlane - block.loPlane + 1;
  if (columns <= 0 || rows <= 0 || planes <= 0 || mode > kModeRgb) return 0;
  const std::uint64_t pixels = static_cast<std::uint64_t>(columns) * static_cast<std::uint64_t>(rows) *
                               static_cast<std::uint64_t>(planes);
  return mode == kModeBitmap ? (pixels + 7) / 8 : pixels;
}

namespace {

// The carried module asks only for parts of the image; a rectangle or plane
// range outside it would make us copy more than the host's buffer holds.
bool insideImage(const DeliveredBlock& block, const HostImage& image) {
  return block.left >= 0 && block.right <= image.width && block.top >= 0 && block.bottom <= image.height &&
         block.loPlane >= 0 && block.hiPlane < image.planes;
}

}  // namespace

void appendDeliveredBlock(std::vector<std::uint8_t>& capture, const DeliveredBlock& block,
                          const HostImage& image) noexcept {
  if (block.bottom > block.imageRows) return;
  const auto whole = expectedCaptureLength(image);
  const std::uint64_t length = deliveredBlockLength(block, image.mode);
  if (!whole || length == 0 || block.data == nullptr || !insideImage(block, image)) return;
  if (capture.size() > *whole || length > *whole - capture.size()) return;
  try {
    capture.insert(capture.end(), block.data, block.data + length);
  } catch (...) {
    // Memory exhausted: the block is dropped like any other that cannot be had.
  }
}

}  // namespace icofmt::save
