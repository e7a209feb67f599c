#include <gtest/gtest.h>

#include "base/errors.h"
#include "base/limits.h"
#include "base/stream.h"
#include "icon/advanced_icon.h"
#include "icon/typed_lists.h"
#include "icon_builders.h"
#include "pixels/alpha.h"
#include "pixels/bitmap.h"
#include "pixels/reduce.h"

using namespace icofmt;
using namespace icotest;

namespace {

// A container of images whose widths are the given numbers (8-bit, square).
void fill(TAdvancedIcon& icon, std::initializer_list<int> widths, uint16_t bpp = 8) {
  std::vector<EntrySpec> entries;
  for (int w : widths) {
    EntrySpec e;
    e.block = bitmapBlock({.width = w, .height = w, .bitCount = bpp});
    entries.push_back(e);
  }
  TMemoryStream in(iconFile(entries));
  ASSERT_TRUE(icon.LoadFromStream(in));
}

std::vector<int> widths(const TAdvancedIcon& icon) {
  std::vector<int> out;
  for (uint32_t i = 0; i < icon.Images().Count(); ++i) out.push_back(icon.Images().Items(i)->Width());
  return out;
}

TBitmap bitmap(PixelFormat f, int w, int h) {
  TBitmap b;
  b.SetPixelFormat(f);
  b.SetSize(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.SetPixel(x, y, makeColour(x * 40, y * 40, 200));
  return b;
}

}  // namespace

TEST(Container, ItemsDeleteAndFindFormat) {
  TAdvancedIcon icon;
  fill(icon, {16, 32, 16, 48});
  TSubIconList& list = icon.Images();
  EXPECT_EQ(list.Items(4), nullptr);
  EXPECT_EQ(list.Items(3)->Width(), 48);
  EXPECT_EQ(list.FindFormat(16, 16, 8), 0);  // the first of two
  EXPECT_EQ(list.FindFormat(16, 16, 4), -1);
  EXPECT_EQ(list.IndexOf(list.Items(2)), 2);
  list.Delete(9);  // nothing
  auto kept = list.Delete(1, false);
  ASSERT_NE(kept, nullptr);
  EXPECT_EQ(kept->Width(), 32);
  list.Delete(0);
  EXPECT_EQ(widths(icon), (std::vector<int>{16, 48}));
  list.SetCapacity(1);
  EXPECT_EQ(list.Capacity(), 2);  // never below Count
}

TEST(Container, ImagesMoveBetweenContainersWithoutCopies) {
  TAdvancedIcon a, b;
  fill(a, {1, 2, 3});
  fill(b, {7, 8});
  const TSubIcon* moved = a.Images().Items(1);
  b.Images().TakeFrom(&a, 1);
  EXPECT_EQ(b.Images().Items(2), moved);
  EXPECT_EQ(widths(a), (std::vector<int>{1, 3}));
  b.Images().TakeFrom(&a, 5);
  b.Images().TakeFrom(nullptr, 0);
  EXPECT_EQ(b.Images().Count(), 3);

  const TSubIcon* incoming = a.Images().Items(0);
  std::unique_ptr<TSubIcon> displaced = b.Images().ReplaceFrom(&a, 0, 0);
  ASSERT_NE(displaced, nullptr);  // still alive, now the caller's
  EXPECT_EQ(displaced->Width(), 7);
  EXPECT_EQ(b.Images().Items(0), incoming);
  EXPECT_EQ(widths(a), (std::vector<int>{3}));

  TAdvancedIcon c;
  fill(c, {4, 5, 6});
  b.Images().TakeAll(c);
  EXPECT_EQ(c.Images().Count(), 0);
  EXPECT_EQ(widths(b), (std::vector<int>{1, 8, 2, 4, 5, 6}));
}

TEST(Container, AssignCopiesEveryImage) {
  TAdvancedIcon a, b;
  fill(a, {3, 5});
  a.Images().Items(1)->SetPacked(true);
  b.Assign(&a);
  ASSERT_EQ(widths(b), widths(a));
  EXPECT_NE(b.Images().Items(0), a.Images().Items(0));
  EXPECT_EQ(b.Images().Items(1)->Data(), a.Images().Items(1)->Data());
  EXPECT_TRUE(b.Images().Items(1)->Packed());
  EXPECT_STREQ(b.Images().Items(0)->ClassName(), "TSubIcon");
  TListLongint notAnIcon;
  try {
    b.Assign(&notAnIcon);
    FAIL();
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Cannot assign a TListLongint to a TAdvancedIcon");
  }
  std::unique_ptr<TSubIcon> copy(a.Images().Items(1)->CreateCopy());
  EXPECT_STREQ(copy->ClassName(), "TFileIconImage");
  EXPECT_TRUE(copy->Packed());
  EXPECT_EQ(copy->Data(), a.Images().Items(1)->Data());
}

TEST(Container, AddFromBitmapStoresTheRightDepthAndMask) {
  TAdvancedIcon icon;
  TSubIconList& list = icon.Images();

  TBitmap b16 = bitmap(PixelFormat::Bits16, 5, 4);
  list.AddFromBitmap(b16, nullptr, 0);
  EXPECT_EQ(list.Items(0)->BitCount(), 24);

  TBitmap b32 = bitmap(PixelFormat::Bits32, 3, 2);
  b32.ScanLine(0)[3] = 0;  // (0, 0) fully transparent
  b32.ScanLine(0)[7] = 1;  // (1, 0) almost
  for (int x = 0; x < 3; ++x) b32.ScanLine(1)[4 * x + 3] = 255;
  b32.ScanLine(0)[11] = 255;
  list.AddFromBitmap(b32, nullptr, 0);
  TBitmap mask;
  list.Items(1)->ExtractBitmaps(nullptr, nullptr, kBlack, &mask);
  EXPECT_EQ(list.Items(1)->BitCount(), 32);
  EXPECT_TRUE(MaskIsWhite(mask, 0, 0));
  EXPECT_FALSE(MaskIsWhite(mask, 1, 0));

  TBitmap noMask;  // zero width: fully opaque, no derivation
  list.AddFromBitmap(b32, &noMask, 0);
  list.Items(2)->ExtractBitmaps(nullptr, nullptr, kBlack, &mask);
  EXPECT_FALSE(MaskIsWhite(mask, 0, 0));

  TBitmap b4 = bitmap(PixelFormat::Bits4, 9, 3);
  TBitmap m;
  SetupOpaqueMask(m, 9, 3);
  m.SetIndex(8, 2, 1);
  list.AddFromBitmap(b4, &m, 0);
  const TSubIcon& four = *list.Items(3);
  EXPECT_EQ(four.BitCount(), 4);
  EXPECT_EQ(four.Entry().ColorCount, 16);
  four.ExtractBitmaps(nullptr, nullptr, kBlack, &mask);
  EXPECT_TRUE(MaskIsWhite(mask, 8, 2));
  EXPECT_FALSE(MaskIsWhite(mask, 7, 2));
}

TEST(Container, DecodedImagesAreBoundedPerContainer) {
  // Thousands of entries pointing at one small 256 x 256 PNG would unpack
  // into gigabytes; the container stops taking them at its limit.
  const Bytes png = pngBlock(256, 256);
  const uint32_t count = 3000;
  Bytes file;
  put16(file, 0);
  put16(file, 1);
  put16(file, static_cast<uint16_t>(count));
  const uint32_t offset = 6 + 16 * count;
  for (uint32_t i = 0; i < count; ++i) {
    file.insert(file.end(), {0, 0, 0, 0, 1, 0, 32, 0});
    put32(file, static_cast<uint32_t>(png.size()));
    put32(file, offset);
  }
  file.insert(file.end(), png.begin(), png.end());
  TAdvancedIcon icon;
  TMemoryStream in(file);
  ASSERT_TRUE(icon.LoadFromStream(in));
  uint64_t held = 0;
  for (uint32_t i = 0; i < icon.Images().Count(); ++i) held += icon.Images().Items(i)->Data().size();
  EXPECT_LE(held, limits::kContainerDecodedMax);
  EXPECT_LT(icon.Images().Count(), count);
  // Each entry is charged its decoded size from the PNG header, until the
  // budget runs out.
  EXPECT_EQ(icon.Images().Count(), limits::kContainerDecodedMax / decodedBlockCost(png));
}
