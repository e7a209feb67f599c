#pragma once
// What the save options form hands to the assembly. The values outlive one
// save while the module stays loaded; the assembly reads them only after the
// form closed with Ok.
#include <array>
#include <cstdint>
#include <vector>

namespace icofmt::save {

inline constexpr std::int32_t kMergeReplaceExact = 0;
inline constexpr std::int32_t kMergeAdd = 1;

// The sides offered under "Also save smaller sizes", smallest first.
inline constexpr std::array<std::int32_t, 6> kSmallerSizes{16, 24, 32, 48, 64, 128};

// How the user closed the options form.
enum class OptionsAnswer {
  Ok,
  // The destination is written as the form left it (its deletions count).
  Cancelled,
  // A new file, cancelled: there is nothing to write.
  CancelledNewFile,
};

// How a save ended. The host layer alone turns it into the host's result:
// the two cancels and a failure are told apart here, not by a number.
enum class SaveResult {
  Saved,
  Cancelled,
  CancelledNewFile,
  // The image could not be made or merged; what there was to tell the user
  // has been shown.
  Failed,
};

struct SaveChoices {
  std::int32_t mergeMode = kMergeReplaceExact;
  // 0 (automatic), 1, 4, 8, 24 or 32 bits per pixel.
  std::int32_t depth = 0;
  // Store a 256 x 256 image as a PNG block.
  bool pngCompression = false;
  // Sides of kSmallerSizes also made from the picture, ascending. Sides not
  // smaller than the picture are made for no save but stay chosen for the next.
  std::vector<std::int32_t> smallerSizes;
};

}  // namespace icofmt::save
