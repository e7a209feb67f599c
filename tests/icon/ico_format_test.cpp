#include <gtest/gtest.h>

#include "base/errors.h"
#include "base/limits.h"
#include "base/stream.h"
#include "icon/advanced_icon.h"
#include "icon_builders.h"
#include "support/temp_folder.h"

using namespace icofmt;
using namespace icotest;

namespace {

Bytes saved(const TAdvancedIcon& icon) {
  TMemoryStream out;
  icon.SaveToStream(out);
  return out.Bytes();
}

bool loadBytes(TAdvancedIcon& icon, const Bytes& bytes) {
  TMemoryStream in(bytes);
  return icon.LoadFromStream(in);
}

uint32_t u32at(const Bytes& b, size_t at) { return loadU32le(b.data() + at); }

}  // namespace

TEST(IcoFormat, ReadWriteReadKeepsRecordsAndBlocks) {
  std::vector<EntrySpec> entries;
  for (auto [w, h, bpp] : {std::tuple{16, 16, 1}, {32, 32, 4}, {48, 48, 8}, {7, 5, 24}, {33, 17, 32}}) {
    EntrySpec e;
    e.block = bitmapBlock({.width = w, .height = h, .bitCount = static_cast<uint16_t>(bpp)});
    e.reserved = 3;  // kept as read
    entries.push_back(e);
  }
  TAdvancedIcon icon;
  ASSERT_TRUE(loadBytes(icon, iconFile(entries)));
  ASSERT_EQ(icon.Images().Count(), 5);
  const Bytes once = saved(icon);

  TAdvancedIcon again;
  ASSERT_TRUE(loadBytes(again, once));
  ASSERT_EQ(again.Images().Count(), 5);
  for (uint32_t i = 0; i < 5; ++i) {
    EXPECT_EQ(again.Images().Items(i)->Entry(), icon.Images().Items(i)->Entry());
    EXPECT_EQ(again.Images().Items(i)->Data(), entries[i].block);
  }
  EXPECT_EQ(saved(again), once);

  // Blocks follow the directory contiguously in list order.
  uint32_t expected = 6 + 16 * 5;
  for (uint32_t i = 0; i < 5; ++i) {
    EXPECT_EQ(u32at(once, 6 + 16 * i + 12), expected);
    expected += static_cast<uint32_t>(entries[i].block.size());
  }
  EXPECT_EQ(once.size(), expected);
  EXPECT_EQ(once[0] | once[1], 0);
  EXPECT_EQ(once[2], 1);
}

TEST(IcoFormat, DirectoryIsNormalisedFromTheBlock) {
  auto recordOf = [](const BlockSpec& s, uint8_t dirColours = 99) {
    EntrySpec e;
    e.block = bitmapBlock(s);
    e.width = 1;
    e.height = 2;
    e.colorCount = dirColours;
    e.planes = 7;
    e.bitCount = 9;
    TAdvancedIcon icon;
    EXPECT_TRUE(loadBytes(icon, iconFile({e})));
    return icon.Images().Items(0)->Entry();
  };
  TIconDirEntry r = recordOf({.width = 256, .height = 256, .bitCount = 32});
  EXPECT_EQ(r.Width, 0);
  EXPECT_EQ(r.Height, 0);
  EXPECT_EQ(r.Planes, 1);
  EXPECT_EQ(r.BitCount, 32);
  EXPECT_EQ(r.ColorCount, 0);
  r = recordOf({.width = 300, .height = 300, .bitCount = 1});
  EXPECT_EQ(r.Width, 0);
  EXPECT_EQ(r.ColorCount, 2);
  r = recordOf({.width = 255, .height = 255, .bitCount = 4}, 0);
  EXPECT_EQ(r.Width, 255);
  EXPECT_EQ(r.Height, 255);
  EXPECT_EQ(r.ColorCount, 16);
  r = recordOf({.width = 24, .height = 24, .bitCount = 24}, 16);
  EXPECT_EQ(r.ColorCount, 0);
  r = recordOf({.width = 0, .height = 20, .bitCount = 8});  // width from half height
  EXPECT_EQ(r.Width, 20);
  EXPECT_EQ(r.Height, 20);
  r = recordOf({.width = 12, .height = 0, .bitCount = 8});  // height from width
  EXPECT_EQ(r.Width, 12);
  EXPECT_EQ(r.Height, 12);
}

TEST(IcoFormat, CursorFilesKeepTheirHotSpotsThroughReadersAndWriter) {
  EntrySpec e;
  e.block = bitmapBlock({.width = 32, .height = 32, .bitCount = 4});
  e.planes = 5;  // hot spot
  e.bitCount = 6;
  EntrySpec png{pngBlock(48, 48)};
  png.planes = 40;
  png.bitCount = 2;
  test::TempFolder dir;
  TAdvancedIcon fromFile, fromStream;
  ASSERT_TRUE(fromFile.LoadFromFile(dir.write("c.cur", iconFile({e, png}, 2))));
  ASSERT_TRUE(loadBytes(fromStream, iconFile({e, png}, 2)));
  for (TAdvancedIcon* icon : {&fromFile, &fromStream}) {
    EXPECT_EQ(icon->Type(), IconType::Cursor);
    EXPECT_EQ(icon->Images().Items(0)->HotSpot(), (THotSpot{5, 6}));
    EXPECT_EQ(icon->Images().Items(0)->BitCount(), 4);  // the block's depth, not the hot spot
    icon->Images().Items(1)->SetPacked(true);
    const Bytes out = saved(*icon);
    EXPECT_EQ(out[2], 2);  // Type 2
    EXPECT_EQ(loadU16le(&out[6 + 4]), 5);
    EXPECT_EQ(loadU16le(&out[6 + 6]), 6);
    EXPECT_EQ(loadU16le(&out[22 + 4]), 40);  // a packed image keeps it too
    EXPECT_EQ(loadU16le(&out[22 + 6]), 2);
    TAdvancedIcon copy;
    copy.Assign(icon);
    EXPECT_EQ(saved(copy), out);
  }
  // An icon's entries hold planes and depth whatever hot spot an image carries.
  TAdvancedIcon icon;
  ASSERT_TRUE(loadBytes(icon, iconFile({e}, 1)));
  EXPECT_EQ(icon.Type(), IconType::Icon);
  EXPECT_EQ(icon.Images().Items(0)->HotSpot(), THotSpot{});
  icon.Images().Items(0)->SetHotSpot({3, 3});
  const Bytes out = saved(icon);
  EXPECT_EQ(out[2], 1);
  EXPECT_EQ(loadU16le(&out[6 + 4]), 1);
  EXPECT_EQ(loadU16le(&out[6 + 6]), 4);

  TAdvancedCursor cursor;
  TMemoryStream in(iconFile({e}, 2));
  ASSERT_TRUE(cursor.LoadCursorFromStream(in));
  EXPECT_EQ(cursor.Images().Items(0)->HotSpot(), (THotSpot{5, 6}));
  EXPECT_STREQ(cursor.Images().Items(0)->ClassName(), "TFileCursorImage");
  // Type 1 files carry no hot spot.
  TMemoryStream asIcon(iconFile({e}, 1));
  ASSERT_TRUE(cursor.LoadCursorFromStream(asIcon));
  EXPECT_EQ(cursor.Images().Items(0)->HotSpot(), THotSpot{});
}

TEST(IcoFormat, HeadersAndEmptyContainers) {
  TAdvancedIcon icon;
  EXPECT_FALSE(loadBytes(icon, iconFile({})));  // Count 0
  EXPECT_TRUE(saved(icon).empty());             // not even a header
  EntrySpec e;
  e.block = bitmapBlock({});
  EXPECT_FALSE(loadBytes(icon, iconFile({e}, 3)));
  EXPECT_FALSE(loadBytes(icon, iconFile({e}, 1, 1)));
  EXPECT_EQ(icon.Images().Count(), 0);
  EXPECT_FALSE(loadBytes(icon, Bytes{0, 0, 1}));

  TAdvancedCursor cursor;
  TMemoryStream none(iconFile({}, 2));
  EXPECT_TRUE(cursor.LoadCursorFromStream(none));  // a valid header is enough
  TMemoryStream bad(iconFile({}, 4));
  EXPECT_FALSE(cursor.LoadCursorFromStream(bad));
}

// Each reader's policy for each fault of an entry: the widths of the images
// it reads, and the cursor reader's error after those it read before.
TEST(IcoFormat, EachReaderStopsSkipsOrThrowsAsItsPolicySays) {
  test::TempFolder dir;
  auto widths = [](const TAdvancedIcon& icon) {
    std::string out;
    for (uint32_t i = 0; i < icon.Images().Count(); ++i)
      out += (i ? " " : "") + std::to_string(icon.Images().Items(i)->Width());
    return out;
  };
  auto entry = [](int w) {
    EntrySpec e;
    e.block = bitmapBlock({.width = w, .height = w, .bitCount = 8});
    return e;
  };
  // A header claiming 1024 x 1024 at 32 bits: over half the container's budget.
  EntrySpec costly = entry(1);
  storeU32le(&costly.block[4], 1024);
  storeU32le(&costly.block[8], 2048);
  const std::vector<EntrySpec> three = {entry(1), entry(2), entry(3)};
  using Change = void (*)(std::vector<EntrySpec>&);
  const struct {
    const char* name;
    std::vector<EntrySpec> entries;
    Change change;
    std::string file, stream, cursor;
  } cases[] = {
      {"sound", three, [](auto&) {}, "1 2 3", "1 2 3", "1 2 3"},
      // The stream readers read a misplaced block all the same; these bytes
      // make an image of width 0.
      {"block inside the directory", three, [](auto& e) { e[1].offset = 6 + 16; }, "1", "1 0 3", "1 0 3"},
      {"block past the end", three, [](auto& e) { e[1].offset = 1 << 20; }, "1", "1 0 3", "1 0 3"},
      {"Size of 40", three, [](auto& e) { e[1].size = 40; }, "1 3", "1 2 3", "1 2 3"},
      {"Size beyond the file", three, [](auto& e) { e[0].size = 0x7FFFFFFF; }, "2 3", "2 3",
       " ! Invalid image"},
      {"failing blocks", three,
       [](auto& e) {
         e[0].block = bitmapBlock({.width = 6000, .height = 1, .bitCount = 1});
         e[1].block = bitmapBlock({.width = 2, .height = 2, .bitCount = 33});
       },
       "3", "3", " ! Invalid image"},
      {"negative height", three,
       [](auto& e) { e[2].block = bitmapBlock({.width = 4, .height = -4, .bitCount = 8}); }, "1 2", "1 2",
       "1 2 ! Invalid image"},
      {"past the budget",
       {costly, costly, entry(3)},
       [](auto& e) { e[1].offset = 6 + 16 * 3; },
       "1024 3",
       "1024 3",
       "1024 ! Invalid image"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto entries = c.entries;
    c.change(entries);
    const Bytes file = iconFile(entries);
    TAdvancedIcon fromFile, fromStream;
    fromFile.LoadFromFile(dir.write("t.ico", file));
    EXPECT_EQ(widths(fromFile), c.file);
    loadBytes(fromStream, file);
    EXPECT_EQ(widths(fromStream), c.stream);
    TAdvancedCursor cursor;
    TMemoryStream in(file);
    std::string thrown;
    try {
      cursor.LoadCursorFromStream(in);
    } catch (const Error& e) {
      thrown = std::string(" ! ") + e.what();
    }
    EXPECT_EQ(widths(cursor) + thrown, c.cursor);
  }

  // A file ending inside its directory: the cursor reader alone says so.
  Bytes cut = iconFile({entry(1)});
  cut.resize(6 + 10);
  TAdvancedIcon icon;
  EXPECT_FALSE(icon.LoadFromFile(dir.write("cut.ico", cut)));
  EXPECT_FALSE(loadBytes(icon, cut));
  TAdvancedCursor cursor;
  TMemoryStream in(cut);
  EXPECT_THROW(cursor.LoadCursorFromStream(in), StreamError);

  EXPECT_THROW(icon.LoadFromFile(dir.file("missing.ico")), StreamError);
}

TEST(IcoFormat, BlockRunningPastTheEndIsReadAsFarAsItGoesThenZero) {
  EntrySpec e;
  e.block = bitmapBlock({.width = 4, .height = 4, .bitCount = 32});
  const size_t full = e.block.size();
  Bytes file = iconFile({e});
  file.resize(file.size() - 10);  // the mask's last bytes are gone
  test::TempFolder dir;
  TAdvancedIcon fromFile;
  ASSERT_TRUE(fromFile.LoadFromFile(dir.write("short.ico", file)));
  TAdvancedIcon fromStream;
  ASSERT_TRUE(loadBytes(fromStream, file));
  for (TAdvancedIcon* icon : {&fromFile, &fromStream}) {
    const Bytes& data = icon->Images().Items(0)->Data();
    ASSERT_EQ(data.size(), full);
    EXPECT_TRUE(std::equal(data.begin(), data.end() - 10, e.block.begin()));
    EXPECT_TRUE(std::all_of(data.end() - 10, data.end(), [](uint8_t b) { return b == 0; }));
  }
}

TEST(IcoFormat, StreamReaderSkipsSizesTheStreamCannotHold) {
  EntrySpec big, ok;
  big.block = bitmapBlock({.width = 2, .height = 2, .bitCount = 8});
  big.size = 0xFFFFFFF0;  // a 4 GB demand from a small stream
  ok.block = bitmapBlock({.width = 3, .height = 3, .bitCount = 8});
  TAdvancedIcon icon;
  ASSERT_TRUE(loadBytes(icon, iconFile({big, ok})));
  ASSERT_EQ(icon.Images().Count(), 1);
  EXPECT_EQ(icon.Images().Items(0)->Width(), 3);
}

TEST(IcoFormat, ManyEntriesOnOneBlockAreBoundedByTheContainerBudget) {
  // 65535 entries all pointing at one 1 MiB block would make 64 GiB.
  EntrySpec e;
  e.block = bitmapBlock({.width = 512, .height = 512, .bitCount = 32});
  Bytes file = iconFile({e});
  const uint32_t offset = 6 + 16 * 65535;
  Bytes big;
  put16(big, 0);
  put16(big, 1);
  put16(big, 65535);
  for (int i = 0; i < 65535; ++i) {
    big.insert(big.end(), file.begin() + 6, file.begin() + 18);
    put32(big, offset);
  }
  big.insert(big.end(), e.block.begin(), e.block.end());
  TAdvancedIcon icon;
  ASSERT_TRUE(loadBytes(icon, big));
  const uint64_t held = uint64_t{icon.Images().Count()} * e.block.size();
  EXPECT_LE(held, limits::kContainerDecodedMax);
  // The budget is used up, not refused early: each image costs its block and
  // a little more for the header and mask estimate.
  EXPECT_GE(icon.Images().Count(), limits::kContainerDecodedMax / e.block.size() - 2);
}

TEST(IcoFormat, PngBlocksAreUnpackedOnReadingAndPackedAgainOnWriting) {
  EntrySpec png, bmp;
  png.block = pngBlock(256, 256);
  png.bitCount = 32;
  bmp.block = bitmapBlock({.width = 16, .height = 16, .bitCount = 8});
  TAdvancedIcon icon;
  ASSERT_TRUE(loadBytes(icon, iconFile({bmp, png})));
  ASSERT_EQ(icon.Images().Count(), 2);
  const TSubIcon& p = *icon.Images().Items(1);
  EXPECT_TRUE(p.Packed());
  EXPECT_FALSE(p.IsPNG());  // held as a bitmap block in memory
  EXPECT_EQ(p.Width(), 256);
  EXPECT_EQ(p.Height(), 256);
  EXPECT_EQ(p.BitCount(), 32);
  EXPECT_EQ(p.Entry().Width, 0);
  EXPECT_EQ(p.Entry().Planes, 1);
  EXPECT_EQ(p.Entry().BitCount, 32);
  EXPECT_EQ(p.Description(), "256x256, 32 bpp, packed");
  EXPECT_FALSE(icon.Images().Items(0)->Packed());

  const Bytes out = saved(icon);
  const uint32_t off = u32at(out, 6 + 16 + 12);
  const uint32_t size = u32at(out, 6 + 16 + 8);
  EXPECT_TRUE(hasPngSignature(std::span<const uint8_t>(out).subspan(off)));
  EXPECT_EQ(off + size, out.size());
  EXPECT_EQ(out[6 + 16], 0);                      // Width 0 for 256
  EXPECT_EQ(out[6 + 16 + 6], 32);                 // Bit count of the bitmap form
  EXPECT_FALSE(icon.Images().Items(1)->IsPNG());  // writing packs copies only

  TAdvancedIcon again;
  ASSERT_TRUE(loadBytes(again, out));
  EXPECT_EQ(again.Images().Items(1)->Data(), p.Data());
  EXPECT_TRUE(again.Images().Items(1)->Packed());

  EntrySpec notIhdr;
  notIhdr.block = pngBlock(16, 16);
  notIhdr.block[12] = 'X';
  EntrySpec tooWide;
  tooWide.block = pngBlock(6000, 1);
  EntrySpec badChecksum;
  badChecksum.block = pngBlock(16, 16);
  badChecksum.block[30] ^= 0xFF;
  EXPECT_FALSE(loadBytes(icon, iconFile({notIhdr, tooWide, badChecksum})));
}

TEST(IcoFormat, CursorReaderPassesABadImageToItsCaller) {
  EntrySpec good, bad;
  good.block = bitmapBlock({.width = 8, .height = 8, .bitCount = 4});
  bad.block = bitmapBlock({.width = 8, .height = 8, .bitCount = 64});
  TAdvancedCursor cursor;
  TMemoryStream in(iconFile({good, bad, good}, 2));
  EXPECT_THROW(cursor.LoadCursorFromStream(in), InvalidImage);
  EXPECT_EQ(cursor.Images().Count(), 1);  // what was read before stays
}
