#include <gtest/gtest.h>

#include "base/errors.h"
#include "base/stream.h"
#include "icon/sub_icon_list.h"
#include "icon_builders.h"

using namespace icofmt;
using namespace icotest;

namespace {

struct Dib {
  uint32_t headerSize = 40;
  int32_t width = 5;
  int32_t height = 3;
  uint16_t planes = 1;
  uint16_t bitCount = 8;
  uint32_t compression = 0;
  uint32_t sizeImage = 0;
  uint32_t clrUsed = 0;
  uint32_t paletteEntries = 256;
};

// A serialised bitmap after its 14-byte file header; pixels count up from 1.
Bytes dibBytes(const Dib& d, Bytes* pixelsOut = nullptr) {
  Bytes b;
  if (d.headerSize == 12) {
    put32(b, 12);
    put16(b, static_cast<uint16_t>(d.width));
    put16(b, static_cast<uint16_t>(d.height));
    put16(b, d.planes);
    put16(b, d.bitCount);
  } else {
    put32(b, d.headerSize);
    put32(b, static_cast<uint32_t>(d.width));
    put32(b, static_cast<uint32_t>(d.height));
    put16(b, d.planes);
    put16(b, d.bitCount);
    put32(b, d.compression);
    put32(b, d.sizeImage);
    put32(b, 2835);
    put32(b, 2835);
    put32(b, d.clrUsed);
    put32(b, 0);
    b.resize(d.headerSize, 0xEE);
  }
  if (d.compression == 3) {
    put32(b, 0xF800);
    put32(b, 0x07E0);
    put32(b, 0x001F);
  }
  for (uint32_t i = 0; i < d.paletteEntries; ++i) {
    b.push_back(static_cast<uint8_t>(i));
    b.push_back(static_cast<uint8_t>(i + 1));
    b.push_back(static_cast<uint8_t>(i + 2));
    if (d.headerSize != 12) b.push_back(0);
  }
  Bytes pixels(rowSize(static_cast<uint32_t>(d.width), d.bitCount) *
               static_cast<uint32_t>(std::abs(d.height)));
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i + 1);
  b.insert(b.end(), pixels.begin(), pixels.end());
  if (pixelsOut) *pixelsOut = pixels;
  return b;
}

const TSubIcon& addOne(TSubIconList& list, const Bytes& dib, TStream* mask = nullptr, uint8_t fill = 0) {
  TMemoryStream colour(dib);
  list.AddFromDIB(colour, mask, fill, static_cast<uint32_t>(dib.size()));
  return *list.Items(list.Count() - 1);
}

}  // namespace

TEST(AddFromDIB, EightBitBlockGetsDefaultPaletteCountMaskAndRecord) {
  TSubIconList list;
  Bytes pixels;
  const TSubIcon& image = addOne(list, dibBytes({}, &pixels), nullptr, 0xFF);
  const Bytes& block = image.Data();
  const BitmapInfoHeader h = decodeInfoHeader(block);
  EXPECT_EQ(h.biClrUsed, 256u);
  EXPECT_EQ(h.biHeight, 6);  // doubled
  const uint32_t maskSize = 4 * 3;
  EXPECT_EQ(h.biSizeImage, pixels.size() + maskSize);
  ASSERT_EQ(block.size(), 40 + 1024 + pixels.size() + maskSize);
  EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(), block.begin() + 40 + 1024));
  EXPECT_TRUE(std::all_of(block.end() - maskSize, block.end(), [](uint8_t b) { return b == 0xFF; }));
  EXPECT_EQ(block[40 + 4 * 7 + 3], 0);  // palette's fourth byte
  EXPECT_EQ(image.Entry().Width, 5);
  EXPECT_EQ(image.Entry().Height, 3);
  EXPECT_EQ(image.Entry().BitCount, 8);
  EXPECT_EQ(image.Entry().Size, block.size());
  EXPECT_STREQ(image.ClassName(), "TFileIconImage");
}

TEST(AddFromDIB, CoreHeaderIsWidenedAndItsPaletteToFourBytes) {
  TSubIconList list;
  Bytes pixels;
  const TSubIcon& image =
      addOne(list, dibBytes({.headerSize = 12, .bitCount = 4, .paletteEntries = 16}, &pixels));
  const Bytes& block = image.Data();
  const BitmapInfoHeader h = decodeInfoHeader(block);
  EXPECT_EQ(h.biSize, 40u);
  EXPECT_EQ(h.biWidth, 5);
  EXPECT_EQ(h.biClrUsed, 16u);
  EXPECT_EQ(h.biCompression, 0u);
  // Entry 3 was (3, 4, 5) in three bytes.
  EXPECT_EQ((Bytes{block.begin() + 40 + 12, block.begin() + 40 + 16}), (Bytes{3, 4, 5, 0}));
  EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(), block.begin() + 40 + 64));
  EXPECT_EQ(image.Entry().ColorCount, 16);
}

TEST(AddFromDIB, BitFieldMasksAreDroppedAndTheMaskComesFromItsStream) {
  TSubIconList list;
  Bytes pixels;
  Bytes maskBits = {0x80, 0, 0, 0, 0x40, 0, 0, 0, 0x20, 0, 0};  // one byte short of 3 rows
  TMemoryStream mask(maskBits);
  const TSubIcon& image =
      addOne(list, dibBytes({.bitCount = 32, .compression = 3, .paletteEntries = 0}, &pixels), &mask, 0xFF);
  const Bytes& block = image.Data();
  ASSERT_EQ(block.size(), 40 + pixels.size() + 12);
  EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(), block.begin() + 40));
  Bytes expectedMask = maskBits;
  expectedMask.push_back(0);  // missing mask bytes are opaque
  EXPECT_TRUE(std::equal(expectedMask.begin(), expectedMask.end(), block.end() - 12));
  EXPECT_EQ(image.Entry().BitCount, 32);
}

TEST(AddFromDIB, BadSerialisedBitmapsAddNothing) {
  TSubIconList list;
  auto fails = [&](const Bytes& dib) {
    try {
      addOne(list, dib);
    } catch (const Error& e) {
      return std::string(e.what());
    }
    return std::string("(added)");
  };
  EXPECT_EQ(fails(dibBytes({.planes = 2})), "Bitmap image is not valid");
  EXPECT_EQ(fails(dibBytes({.headerSize = 20})), "Bitmap image is not valid");
  Bytes cut = dibBytes({});
  cut.resize(40 + 100);  // the palette is not all there
  EXPECT_EQ(fails(cut), "Bitmap image is not valid");
  EXPECT_EQ(fails(dibBytes({.width = 6000, .height = 1, .bitCount = 1, .paletteEntries = 2})),
            "Invalid image");
  EXPECT_EQ(fails(Bytes{40, 0}), "Bitmap image is not valid");
  EXPECT_EQ(list.Count(), 0);
}

TEST(AddFromDIB, ColourBytesAreBoundedByWhatTheSourceHolds) {
  TSubIconList list;
  Bytes dib = dibBytes({.bitCount = 24, .sizeImage = 0x7FFFFFFF, .paletteEntries = 0});
  const TSubIcon& image = addOne(list, dib);
  // Only the pixels that are there are copied; the mask follows them.
  EXPECT_EQ(image.Data().size(), dib.size() + 12);
}
