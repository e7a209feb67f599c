#include "save/host_image.h"

#include "base/limits.h"

namespace icofmt::save {

bool withinHostLimits(const HostImage& image) {
  return image.width >= 1 && image.width <= limits::kHostImageSideMax && image.height >= 1 &&
         image.height <= limits::kHostImageSideMax && image.planes >= 1 &&
         image.planes <= limits::kHostPlanesMax;
}

std::optional<std::uint64_t> expectedCaptureLength(const HostImage& image) {
  if (!withinHostLimits(image) || image.mode > kModeRgb) return std::nullopt;
  const auto width = static_cast<std::uint64_t>(image.width);
  const std::uint64_t rowBytes = image.mode == kModeBitmap ? (width + 7) / 8 : width;
  return rowBytes * static_cast<std::uint64_t>(image.height) * static_cast<std::uint64_t>(image.planes);
}

}  // namespace icofmt::save
