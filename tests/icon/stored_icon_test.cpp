#include "icon/stored_icon.h"

#include <gtest/gtest.h>

#include <random>

#include "icon/advanced_icon.h"
#include "icon_builders.h"
#include "pixels/png_image.h"
#include "support/temp_folder.h"

using namespace icofmt;
using namespace icotest;

namespace {

// Rows of random samples for a PNG of that kind; palette indices stay below
// the palette's 4 entries.
std::vector<Bytes> randomRows(uint32_t w, uint32_t h, uint8_t depth, uint8_t type, std::mt19937& rng) {
  const uint32_t channels = type == 2 ? 3 : type == 4 ? 2 : type == 6 ? 4 : 1;
  const size_t bytes = (size_t{w} * channels * depth + 7) / 8;
  std::vector<Bytes> rows(h, Bytes(bytes));
  for (auto& row : rows)
    for (auto& b : row) b = static_cast<uint8_t>(type == 3 ? (depth == 8 ? rng() % 4 : rng() & 0x00) : rng());
  return rows;
}

// The listing reads no image data, yet says for every entry what the
// decoding reader's image says, whatever the PNG's kind and the depth the
// directory gives it; and unpacking gives that reader's very block.
TEST(StoredIcon, DescribesEveryEntryAsTheDecodingReaderDoesWithoutDecoding) {
  test::TempFolder dir;
  std::mt19937 rng(5);
  struct Kind {
    uint8_t depth, type;
    bool trns;
  };
  const Kind kinds[] = {{8, 6, false}, {8, 2, false}, {8, 2, true},   {8, 0, false}, {1, 0, false},
                        {8, 0, true},  {8, 4, false}, {16, 6, false}, {8, 3, false}, {8, 3, true},
                        {2, 3, false}, {2, 3, true},  {16, 2, false}};
  std::vector<EntrySpec> entries;
  for (const Kind& k : kinds) {
    for (uint16_t dirBits : {0, 1, 4, 8, 24, 32}) {
      EntrySpec e;
      const Bytes palette = {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255};
      Bytes trns;
      if (k.trns) trns = k.type == 3 ? Bytes{0, 128} : k.type == 2 ? Bytes{0, 1, 0, 2, 0, 3} : Bytes{0, 7};
      e.block = pngFile(9, 5, k.depth, k.type, randomRows(9, 5, k.depth, k.type, rng),
                        k.type == 3 ? palette : Bytes{}, trns);
      e.planes = 1;
      e.bitCount = dirBits;
      entries.push_back(e);
    }
  }
  EntrySpec bitmap;
  bitmap.block = bitmapBlock({.width = 16, .height = 16, .bitCount = 4});
  entries.push_back(bitmap);
  const std::string path = dir.write("kinds.ico", iconFile(entries));

  TAdvancedIcon decoded;
  ASSERT_TRUE(decoded.LoadFromFile(path));
  TStoredIcon stored;
  ASSERT_TRUE(stored.LoadFromFile(path));
  ASSERT_EQ(stored.Images().size(), decoded.Images().Count());
  for (uint32_t i = 0; i < decoded.Images().Count(); ++i) {
    const TSubIcon& want = *decoded.Images().Items(i);
    const TStoredImage& got = stored.Images()[i];
    EXPECT_EQ(got.Description(), want.Description()) << "entry " << i;
    EXPECT_EQ(got.Width(), want.Width());
    EXPECT_EQ(got.Height(), want.Height());
    EXPECT_EQ(got.BitCount(), want.BitCount());
    const auto unpacked = got.Unpack();
    EXPECT_EQ(unpacked->Data(), want.Data()) << "entry " << i;
    EXPECT_EQ(unpacked->Entry(), want.Entry());
    EXPECT_EQ(unpacked->Packed(), want.Packed());
  }
}

// The same entries are taken, skipped or stop the reading as the decoding
// reader's but one: a PNG damaged past its header is kept, and
// fails only when unpacked.
TEST(StoredIcon, TakesTheDecodingReadersEntriesAndKeepsAPngDamagedPastItsHeader) {
  test::TempFolder dir;
  const Bytes png = pngBlock(32, 32);
  Bytes damaged = png;
  damaged[damaged.size() - 20] ^= 0x55;  // inside IDAT: its CRC no longer holds
  Bytes badHeader = png;
  badHeader[20] = 0x7F;  // a height of billions

  std::vector<EntrySpec> entries(5);
  entries[0].block = png;
  entries[1].block = damaged;
  entries[2].block = badHeader;
  entries[3].block = bitmapBlock({.width = 8, .height = 8, .bitCount = 8});
  entries[4].block = Bytes(30, 1);  // Size of 40 or less: skipped
  const std::string path = dir.write("mixed.ico", iconFile(entries));

  TAdvancedIcon decoded;
  ASSERT_TRUE(decoded.LoadFromFile(path));
  TStoredIcon stored;
  ASSERT_TRUE(stored.LoadFromFile(path));
  ASSERT_EQ(decoded.Images().Count(), 2);
  ASSERT_EQ(stored.Images().size(), 3u);
  EXPECT_EQ(stored.Images()[0].Description(), decoded.Images().Items(0)->Description());
  EXPECT_EQ(stored.Images()[2].Description(), decoded.Images().Items(1)->Description());
  EXPECT_EQ(stored.Images()[1].Description(), "32x32, 32 bpp, packed");
  EXPECT_THROW(stored.Images()[1].Unpack(), std::exception);

  const std::string none = dir.write("none.ico", iconFile({}));
  EXPECT_FALSE(stored.LoadFromFile(none));
  EXPECT_TRUE(stored.Images().empty());
}

}  // namespace
