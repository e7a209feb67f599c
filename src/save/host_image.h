#pragma once
// The image a host describes at WritePrepare, as plain values, and the length
// of its pixels once captured. Everything under save/ takes the host's numbers
// through this struct, never the parameter block.
#include <cstdint>
#include <optional>

namespace icofmt::save {

// The host's image modes, by the host interface's numbers.
inline constexpr std::uint8_t kModeBitmap = 0;
inline constexpr std::uint8_t kModeGray = 1;
inline constexpr std::uint8_t kModeIndexed = 2;
inline constexpr std::uint8_t kModeRgb = 3;

struct HostImage {
  std::uint8_t mode = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t planes = 0;
};

// Sides of at most 256 and at most 16 planes, none negative: what the module
// declares to hosts.
bool withinHostLimits(const HostImage& image);

// The bytes a complete capture holds: width x height x planes, and for Bitmap
// mode rows of whole bytes. nullopt for an image beyond the host limits, one
// without a pixel or a plane, or a mode the module does not capture.
std::optional<std::uint64_t> expectedCaptureLength(const HostImage& image);

}  // namespace icofmt::save
