#include "save/host_image.h"

#include "base/limits.h"

namespace icofmt::save {

bool withinHostLimits(const HostImage& image) {
  return image.width >= 0 && image.width <= limits::kHostImageSideMax && image.height >= 0 &&
         image.height <= limits::kHostImageSideMax && image.planes >= 0 &&
         image.planes <= limits::kHostPlanesMax;
}

std::optional<std::uint64_t> expectedCaptureLength(const HostImage& image) {
  if (!withinHostLimits(image) || image.width == 0 || image.height == 0 || image.planes == 0 ||
      image.mode > kModeRgb)
    return std::nullopt;
  const auto width = static_cast<std::uint64_t>(image.width);
  const std::uint64_t rowBytes = image.mode == kModeBitmap ? (width + 7) / 8 : width;
  return rowBytes * static_cast<std::uint64_t>(image.height) * static_cast<std::uint64_t>(image.planes);
}

}  // namespace icofmt::save
