#include "save/capture.h"

#include <gtest/gtest.h>

#include <numeric>

namespace icofmt::save {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes counting(std::size_t n) {
  Bytes b(n);
  std::iota(b.begin(), b.end(), std::uint8_t{0});
  return b;
}

// Full-width rows [top, bottom) of every plane, as the carried module asks.
DeliveredBlock rows(const HostImage& image, const Bytes& pixels, int top, int bottom) {
  const std::size_t rowBytes = image.mode == kModeBitmap
                                   ? (image.width + 7) / 8
                                   : static_cast<std::size_t>(image.width) * image.planes;
  DeliveredBlock b;
  b.data = pixels.data() + rowBytes * top;
  b.top = static_cast<std::int16_t>(top);
  b.bottom = static_cast<std::int16_t>(bottom);
  b.right = static_cast<std::int16_t>(image.width);
  b.hiPlane = static_cast<std::int16_t>(image.planes - 1);
  b.imageRows = static_cast<std::int16_t>(image.height);
  return b;
}

TEST(CaptureTest, OneBlockAndSingleRowsGiveTheSameBytes) {
  const HostImage images[] = {{kModeRgb, 16, 16, 4}, {kModeIndexed, 5, 3, 1}, {kModeBitmap, 10, 3, 1}};
  for (const HostImage& image : images) {
    SCOPED_TRACE(int{image.mode});
    const Bytes pixels = counting(*expectedCaptureLength(image));
    Bytes whole, single;
    appendDeliveredBlock(whole, rows(image, pixels, 0, image.height), image);
    for (int y = 0; y < image.height; ++y) appendDeliveredBlock(single, rows(image, pixels, y, y + 1), image);
    EXPECT_EQ(single, pixels);
    // Several rows of a width that is no multiple of 8 share their bytes.
    if (image.mode != kModeBitmap) {
      EXPECT_EQ(whole, pixels);
    } else {
      EXPECT_EQ(whole.size(), 4u);
    }
  }
  EXPECT_EQ(expectedCaptureLength({kModeRgb, 16, 16, 4}), 1024u);
}

TEST(CaptureTest, BlocksThatCannotBeTakenAddNothing) {
  const HostImage image{kModeRgb, 4, 4, 3};
  const Bytes pixels = counting(48);
  struct Case {
    const char* what;
    void (*change)(DeliveredBlock&);
    std::size_t added;
  };
  const Case cases[] = {
      {"whole image", [](DeliveredBlock&) {}, 48},
      {"ends on the last row", [](DeliveredBlock& b) { b.top = 3; }, 12},
      {"ends below the image", [](DeliveredBlock& b) { b.imageRows = 3; }, 0},
      {"no rows", [](DeliveredBlock& b) { b.top = b.bottom = 2; }, 0},
      {"inverted",
       [](DeliveredBlock& b) {
         b.top = 4;
         b.bottom = 0;
       },
       0},
      {"no buffer", [](DeliveredBlock& b) { b.data = nullptr; }, 0},
      {"left of the image", [](DeliveredBlock& b) { b.left = -1; }, 0},
      {"past the right edge", [](DeliveredBlock& b) { b.right = 5; }, 0},
      {"planes the image lacks", [](DeliveredBlock& b) { b.hiPlane = 3; }, 0},
      {"one plane", [](DeliveredBlock& b) { b.loPlane = b.hiPlane = 1; }, 16},
  };
  for (const Case& c : cases) {
    DeliveredBlock b = rows(image, pixels, 0, 4);
    c.change(b);
    Bytes capture;
    appendDeliveredBlock(capture, b, image);
    EXPECT_EQ(capture.size(), c.added) << c.what;
  }
}

TEST(CaptureTest, CaptureNeverGrowsPastOneImage) {
  const HostImage image{kModeGray, 4, 4, 1};
  const Bytes pixels = counting(16);
  Bytes capture;
  appendDeliveredBlock(capture, rows(image, pixels, 0, 3), image);
  appendDeliveredBlock(capture, rows(image, pixels, 0, 3), image);  // would pass 16 bytes
  appendDeliveredBlock(capture, rows(image, pixels, 3, 4), image);
  EXPECT_EQ(capture, pixels);
  // A host beyond the declared limits gets nothing captured.
  const HostImage huge{kModeGray, 30000, 30000, 1};
  DeliveredBlock b = rows(image, pixels, 0, 1);
  b.right = 30000;
  Bytes none;
  appendDeliveredBlock(none, b, huge);
  EXPECT_TRUE(none.empty());
}

TEST(CaptureTest, BitmapBlocksRoundUpToWholeBytes) {
  DeliveredBlock b;
  b.bottom = 3;
  b.right = 10;
  EXPECT_EQ(deliveredBlockLength(b, kModeBitmap), 4u);  // 30 pixels
  b.right = 8;
  b.bottom = 1;
  EXPECT_EQ(deliveredBlockLength(b, kModeBitmap), 1u);
  b.right = 9;
  EXPECT_EQ(deliveredBlockLength(b, kModeBitmap), 2u);
  EXPECT_EQ(deliveredBlockLength(b, 4), 0u);
}

TEST(CaptureTest, LookupTablesAreKeptForGrayAndIndexedOnly) {
  std::uint8_t red[256], green[256], blue[256];
  for (int i = 0; i < 256; ++i) {
    red[i] = static_cast<std::uint8_t>(i);
    green[i] = static_cast<std::uint8_t>(255 - i);
    blue[i] = 7;
  }
  for (std::uint8_t mode : {kModeBitmap, kModeGray, kModeIndexed, kModeRgb}) {
    ColourTables tables;
    captureLookupTables(tables, mode, red, green, blue);
    const bool kept = mode == kModeGray || mode == kModeIndexed;
    EXPECT_EQ(tables.red[200], kept ? 200 : 0);
    EXPECT_EQ(tables.green[0], kept ? 255 : 0);
    EXPECT_EQ(tables.blue[255], kept ? 7 : 0);
  }
}

}  // namespace
}  // namespace icofmt::save
