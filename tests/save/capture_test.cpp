#include "save/capture.h"

#include <gtest/gtest.h>

#include <numeric>

namespace icofmt::save {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Full-width rows [top, bottom) of every plane, as the carried module asks.
DeliveredBlock rows(const HostImage& image, const Bytes& pixels, int top, int bottom) {
  const std::size_t rowBytes = image.mode == kModeBitmap ? (image.width + 7) / 8 : image.width * image.planes;
  return {pixels.data() + rowBytes * top,
          static_cast<std::int16_t>(top),
          0,
          static_cast<std::int16_t>(bottom),
          static_cast<std::int16_t>(image.width),
          0,
          static_cast<std::int16_t>(image.planes - 1),
          static_cast<std::int16_t>(image.height)};
}

TEST(CaptureTest, OneBlockAndSingleRowsGiveTheSameBytes) {
  for (const HostImage& image : {HostImage{kModeRgb, 16, 16, 4}, HostImage{kModeBitmap, 10, 3, 1}}) {
    Bytes pixels(*expectedCaptureLength(image));
    std::iota(pixels.begin(), pixels.end(), std::uint8_t{0});
    Bytes whole, single;
    appendDeliveredBlock(whole, rows(image, pixels, 0, image.height), image);
    for (int y = 0; y < image.height; ++y) appendDeliveredBlock(single, rows(image, pixels, y, y + 1), image);
    EXPECT_EQ(single, pixels);
    // 10 x 3 Bitmap pixels in one block round up to 4 bytes, not 3 rows of 2.
    EXPECT_EQ(whole.size(), image.mode == kModeRgb ? 1024u : 4u);
  }
}

TEST(CaptureTest, BlocksThatCannotBeTakenAddNothing) {
  const HostImage image{kModeRgb, 4, 4, 3};
  const Bytes pixels(48, 1);
  const std::pair<void (*)(DeliveredBlock&), std::size_t> cases[] = {
      {[](DeliveredBlock&) {}, 48},
      {[](DeliveredBlock& b) { b.top = 3; }, 12},  // ends on the last row
      {[](DeliveredBlock& b) { b.imageRows = 3; }, 0},
      {[](DeliveredBlock& b) { b.top = 4; }, 0},
      {[](DeliveredBlock& b) { b.data = nullptr; }, 0},
      {[](DeliveredBlock& b) { b.left = -1; }, 0},
      {[](DeliveredBlock& b) { b.right = 30000; }, 0},
      {[](DeliveredBlock& b) { b.hiPlane = 3; }, 0},
      {[](DeliveredBlock& b) { b.loPlane = b.hiPlane = 1; }, 16},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    DeliveredBlock b = rows(image, pixels, 0, 4);
    cases[i].first(b);
    Bytes capture;
    appendDeliveredBlock(capture, b, image);
    EXPECT_EQ(capture.size(), cases[i].second) << "case " << i;
  }
  // The capture never grows past one image, whatever the host repeats.
  Bytes capture(36);
  appendDeliveredBlock(capture, rows(image, pixels, 0, 1), image);
  appendDeliveredBlock(capture, rows(image, pixels, 0, 1), image);
  EXPECT_EQ(capture.size(), 48u);
}

}  // namespace
}  // namespace icofmt::save
