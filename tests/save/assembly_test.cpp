// The new image at its depth, merged into the destination icon, and what a
// save writes when it succeeds, is cancelled or fails.
#include "save/assembly.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "icon_builders.h"
#include "pictures.h"
#include "platform/scripted.h"
#include "save_helpers.h"

using namespace icofmt;
using namespace icofmt::save;
using namespace savetest;

namespace {

icotest::EntrySpec entry(int32_t w, int32_t h, uint16_t bits, uint8_t seed = 1) {
  icotest::EntrySpec e;
  e.block = icotest::bitmapBlock({.width = w, .height = h, .bitCount = bits, .seed = seed});
  return e;
}

Bytes iconOf(const std::vector<icotest::EntrySpec>& entries) { return icotest::iconFile(entries); }

const ColourList kGreys = [] {
  ColourList c;
  for (uint32_t i = 0; i < 256; ++i) c.push_back(i * 0x010101u);
  return c;
}();

Source indexed32(int colours) {
  return palettedSource(32, 32, PixelFormat::Bits8, kGreys,
                        [=](int x, int y) { return (x + y) % colours * 9; });
}

}  // namespace

TEST(SortIconImages, Puts4Then8Then32BitSquaresLargestFirstAndKeepsTheRestInOrder) {
  struct Case {
    const char* name;
    std::vector<icotest::EntrySpec> entries;
    std::vector<int> order;  // original positions after sorting
    bool changed;
  };
  const Case cases[] = {
      {"depths and sizes", {entry(48, 48, 32), entry(16, 16, 4), entry(32, 32, 8)}, {1, 2, 0}, true},
      {"no image as high as the first is wide", {entry(64, 32, 32), entry(16, 16, 4)}, {0, 1}, false},
      {"equal formats keep their order",
       {entry(32, 32, 32, 1), entry(32, 32, 32, 2), entry(16, 16, 4)},
       {2, 0, 1},
       true},
      {"one format throughout", {entry(16, 16, 8, 1), entry(16, 16, 8, 2)}, {0, 1}, false},
      {"duplicates, non-square and other depths go last",
       {entry(32, 32, 24), entry(16, 16, 4, 1), entry(32, 32, 4), entry(16, 16, 4, 2), entry(48, 16, 8),
        entry(16, 16, 1), entry(16, 16, 8), entry(300, 300, 32)},
       {2, 1, 6, 0, 3, 4, 5, 7},
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TAdvancedIcon original, icon;
    ASSERT_TRUE(loadIcon(iconOf(c.entries), original));
    ASSERT_TRUE(loadIcon(iconOf(c.entries), icon));
    ASSERT_EQ(icon.Images().Count(), c.entries.size());
    EXPECT_EQ(SortIconImages(icon), c.changed);
    ASSERT_EQ(icon.Images().Count(), c.order.size());
    for (size_t i = 0; i < c.order.size(); ++i)
      EXPECT_EQ(icon.Images().Items(static_cast<uint32_t>(i))->Data(),
                original.Images().Items(static_cast<uint32_t>(c.order[i]))->Data())
          << "position " << i;
  }
}

TEST(AddBitmapToIconStream, ReplacesTheSameFormatInPlaceOrAddsAndSorts) {
  const Bytes destination = iconOf({entry(16, 16, 4), entry(32, 32, 8)});
  const Source source = indexed32(20);

  Bytes replaced = destination;
  EXPECT_EQ(AddBitmapToIconStream(&source.bitmap, &source.mask, &replaced, 8, false, kMergeReplaceExact), 1);
  EXPECT_EQ(formatsOf(replaced), (std::vector<Format>{{16, 16, 4}, {32, 32, 8}}));
  EXPECT_EQ(rawBlocks(replaced)[0], rawBlocks(destination)[0]);
  EXPECT_NE(rawBlocks(replaced)[1], rawBlocks(destination)[1]);
  // Saving the same format again still leaves one image of it.
  EXPECT_EQ(AddBitmapToIconStream(&source.bitmap, &source.mask, &replaced, 8, false, kMergeReplaceExact), 1);
  EXPECT_EQ(formatsOf(replaced).size(), 2u);

  Bytes added = destination;
  EXPECT_EQ(AddBitmapToIconStream(&source.bitmap, &source.mask, &added, 8, false, kMergeAdd), 2);
  EXPECT_EQ(formatsOf(added), (std::vector<Format>{{16, 16, 4}, {32, 32, 8}, {32, 32, 8}}));
  EXPECT_EQ(rawBlocks(added)[1], rawBlocks(destination)[1]);
  EXPECT_EQ(rawBlocks(added)[2], rawBlocks(replaced)[1]);

  Bytes fresh;
  EXPECT_EQ(AddBitmapToIconStream(&source.bitmap, &source.mask, &fresh, 8, false, kMergeReplaceExact), 0);
  EXPECT_EQ(formatsOf(fresh), (std::vector<Format>{{32, 32, 8}}));
}

TEST(AddBitmapToIconStream, KeepsACursorAndGivesTheNewImageAHotSpot) {
  auto spot = [](int32_t w, uint16_t x, uint16_t y) {
    icotest::EntrySpec e = entry(w, w, w == 48 ? 32 : 8);
    e.planes = x;
    e.bitCount = y;
    return e;
  };
  const Bytes cursor = icotest::iconFile({spot(16, 2, 3), spot(32, 5, 7), spot(48, 40, 1)}, 2);
  const Bytes icon = iconOf({entry(32, 32, 8)}), none;
  struct Case {
    const char* name;
    const Bytes& destination;
    int side, depth, mode;
    CursorHints hints;
    bool isCursor;
    THotSpot expected;
  };
  const Case cases[] = {
      {"replaced: its hot spot", cursor, 32, 8, kMergeReplaceExact, {}, true, {5, 7}},
      {"added: the nearest size's", cursor, 32, 32, kMergeAdd, {}, true, {5, 7}},
      {"added: scaled down", cursor, 20, 32, kMergeAdd, {}, true, {3, 4}},
      {"added: scaled up", cursor, 64, 32, kMergeAdd, {}, true, {54, 2}},
      {"given by the host", cursor, 32, 8, kMergeReplaceExact, {false, THotSpot{9, 1}}, true, {9, 1}},
      {"a new cursor file", none, 32, 32, kMergeAdd, {true, std::nullopt}, true, {0, 0}},
      {"a new cursor file, given", none, 32, 32, kMergeAdd, {true, THotSpot{1, 2}}, true, {1, 2}},
      {"an icon named as a cursor stays an icon", icon, 32, 32, kMergeAdd, {true, THotSpot{1, 2}}, false, {}},
      {"a new icon", none, 32, 32, kMergeAdd, {false, THotSpot{1, 2}}, false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Source s = rgbSource(c.side, c.side, [](int x, int) { return x % 3 ? 0x40C08000u | 0xFF : 0u; });
    Bytes out = c.destination;
    const int32_t p = AddBitmapToIconStream(&s.bitmap, &s.mask, &out, c.depth, false, c.mode, c.hints);
    ASSERT_GE(p, 0);
    TAdvancedIcon before, after;
    loadIcon(c.destination, before);
    ASSERT_TRUE(loadIcon(out, after));
    EXPECT_EQ(after.Type(), c.isCursor ? IconType::Cursor : IconType::Icon);
    EXPECT_EQ(after.Images().Items(static_cast<uint32_t>(p))->HotSpot(), c.expected);
    // Every other image keeps its own hot spot, or its planes and depth.
    for (uint32_t i = 0; i < before.Images().Count(); ++i) {
      const TSubIcon* old = before.Images().Items(i);
      for (uint32_t j = 0; j < after.Images().Count(); ++j)
        if (after.Images().Items(j)->Data() == old->Data()) {
          EXPECT_EQ(after.Images().Items(j)->HotSpot(), old->HotSpot());
        }
    }
    EXPECT_EQ(out[2], c.isCursor ? 2 : 1);
    if (!c.isCursor) {
      EXPECT_EQ(formatsOf(out).back().bits, c.depth);
    }
  }
}

TEST(AddBitmapToIconStream, MakesEachSmallerSizeByTheSameMergeRule) {
  // A blue 48 x 24 face inside a 64 x 32 picture whose transparent pixels hide magenta.
  const Source s = rgbSource(
      64, 32, [](int x, int y) { return x >= 8 && x < 56 && y >= 4 && y < 28 ? 0x0000FFFFu : 0xFF00FF00u; });
  const std::vector<int32_t> sizes{16, 48, 64, 128};
  // Automatic: 32 bits; sizes not below the picture skipped; no image is as
  // high as the first is wide, so the order stays as merged.
  Bytes out;
  EXPECT_EQ(AddBitmapToIconStream(&s.bitmap, &s.mask, &out, 0, false, kMergeReplaceExact, {}, sizes), 0);
  EXPECT_EQ(formatsOf(out), (std::vector<Format>{{64, 32, 32}, {16, 16, 32}, {48, 48, 32}}));
  // 16 replaced in place, 48 added and sorted.
  const Bytes destination = iconOf({entry(16, 16, 8), entry(48, 48, 32)});
  out = destination;
  EXPECT_EQ(AddBitmapToIconStream(&s.bitmap, &s.mask, &out, 8, false, kMergeReplaceExact, {}, sizes), 3);
  EXPECT_EQ(formatsOf(out), (std::vector<Format>{{48, 48, 8}, {16, 16, 8}, {48, 48, 32}, {64, 32, 8}}));
  EXPECT_NE(rawBlocks(out)[1], rawBlocks(destination)[0]);
  // Kept in shape and centred; no pixel takes the hidden magenta.
  Bytes icon;
  ASSERT_EQ(AddBitmapToIconStream(&s.bitmap, &s.mask, &icon, 32, false, kMergeAdd, {}, {16}), 0);
  TAdvancedIcon read;
  ASSERT_TRUE(loadIcon(icon, read));
  const Bytes rgba = icotest::rgbaOf(icotest::exported(*read.Images().Items(1)));
  ASSERT_EQ(rgba.size(), 16u * 16 * 4);
  for (size_t i = 0; i < rgba.size(); i += 4) {
    const size_t row = i / 64, column = i / 4 % 16;
    const bool face = row >= 6 && row < 10 && column >= 4 && column < 12;
    const bool outside = row < 4 || row >= 12;
    SCOPED_TRACE(testing::Message() << column << "," << row);
    EXPECT_EQ(rgba[i], 0);
    EXPECT_EQ(rgba[i + 1], 0);
    if (face || outside) {
      EXPECT_EQ(rgba[i + 3], face ? 255 : 0);
    }
    if (rgba[i + 3] != 0) {
      EXPECT_GE(rgba[i + 2], 250);
    }
  }
}

TEST(AddBitmapToIconStream, StoresOnlyA256SquareAsPng) {
  struct Case {
    int w, h, depth;
    bool png;
  };
  for (const Case& c : {Case{256, 256, 32, true}, Case{256, 256, 8, true}, Case{256, 256, 24, true},
                        Case{128, 128, 32, false}, Case{256, 128, 32, false}}) {
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " at " << c.depth);
    const Source s =
        rgbSource(c.w, c.h, [](int x, int y) { return uint32_t(x) << 24 | uint32_t(y) << 16 | 0xFF; });
    Bytes icon;
    ASSERT_EQ(AddBitmapToIconStream(&s.bitmap, &s.mask, &icon, c.depth, true, kMergeAdd), 0);
    EXPECT_EQ(isPngBlock(rawBlocks(icon).at(0)), c.png);
    EXPECT_EQ(formatsOf(icon), (std::vector<Format>{{c.w, c.h, c.depth}}));
    Bytes plain;
    ASSERT_EQ(AddBitmapToIconStream(&s.bitmap, &s.mask, &plain, c.depth, false, kMergeAdd), 0);
    EXPECT_FALSE(isPngBlock(rawBlocks(plain).at(0)));
  }
}

TEST(AddBitmapToIconStream, KeepsPartialAlphaAt32BitsAndMakesItTransparentBelow) {
  // Pixel 0 has alpha 50, pixel 1 alpha 0, the rest are opaque.
  const Source s = rgbSource(8, 8, [](int x, int y) {
    const uint32_t alpha = y == 0 && x == 0 ? 50 : y == 0 && x == 1 ? 0 : 255;
    return 0xC0404000u | alpha;
  });
  for (int depth : {32, 24, 8, 4, 1}) {
    SCOPED_TRACE(depth);
    Bytes icon;
    ASSERT_EQ(AddBitmapToIconStream(&s.bitmap, &s.mask, &icon, depth, false, kMergeAdd), 0);
    TAdvancedIcon read;
    ASSERT_TRUE(loadIcon(icon, read));
    ASSERT_EQ(read.Images().Items(0)->BitCount(), depth);
    const Bytes rgba = icotest::rgbaOf(icotest::exported(*read.Images().Items(0)));
    EXPECT_EQ(rgba[3], depth == 32 ? 50 : 0);
    EXPECT_EQ(rgba[7], 0);
    EXPECT_EQ(rgba[11], 255);
  }
}

TEST(AddBitmapToIconStream, ChoosesTheDepthFromTheSource) {
  const ColourList standard = {0x000000, 0x0000FF, 0xC0C0C0, 0xFFFFFF};
  struct Case {
    const char* name;
    Source source;
    int depth;
  };
  const Case cases[] = {
      {"RGB", rgbSource(16, 16, [](int x, int) { return x ? 0x11223344u | 0xFF : 0u; }), 32},
      {"Bitmap mode",
       palettedSource(16, 16, PixelFormat::Bits1, {0, 0xFFFFFF}, [](int x, int) { return x & 1; }), 1},
      {"20 colours", indexed32(20), 8},
      {"standard colours",
       palettedSource(16, 16, PixelFormat::Bits8, standard, [](int x, int) { return x % 4; }), 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes icon;
    ASSERT_GE(AddBitmapToIconStream(&c.source.bitmap, &c.source.mask, &icon, 0, false, kMergeAdd), 0);
    ASSERT_EQ(formatsOf(icon).size(), 1u);
    EXPECT_EQ(formatsOf(icon)[0].bits, c.depth);
  }
}

TEST(AddBitmapToIconStream, LeavesTheStreamAsItWasWhenItFails) {
  const Bytes destination = iconOf({entry(16, 16, 4)});
  const Source s = indexed32(20);
  Bytes icon = destination;
  EXPECT_EQ(AddBitmapToIconStream(nullptr, nullptr, &icon, 8, false, kMergeAdd), -1);
  EXPECT_EQ(AddBitmapToIconStream(&s.bitmap, &s.mask, &icon, 7, false, kMergeAdd), -1);
  const Bytes notPng = {1, 2, 3};
  EXPECT_EQ(AddPNGStreamToIconStream(&notPng, &icon, 8, false, kMergeAdd), -1);
  EXPECT_EQ(AddPNGStreamToIconStream(nullptr, &icon, 8, false, kMergeAdd), -1);
  EXPECT_EQ(icon, destination);
}

namespace {

// Stands in for the options form: deletes the first image when asked, then
// answers Ok or Cancel as the form does.
ShowOptionsFn fakeForm(bool ok, bool deleteFirst, SaveChoices choices) {
  return [=](Bytes& destination, SaveChoices& out) {
    if (deleteFirst && !destination.empty()) {
      TAdvancedIcon icon;
      loadIcon(destination, icon);
      icon.Images().Delete(0);
      TMemoryStream s;
      icon.SaveToStream(s);
      destination = s.Bytes();
    }
    if (ok) out = choices;
    if (!ok && destination.empty()) return OptionsAnswer::CancelledNewFile;
    return ok ? OptionsAnswer::Ok : OptionsAnswer::Cancelled;
  };
}

}  // namespace

TEST(Assembly, WritesTheMergedIconOrWhatTheFormLeftAndRestoresTheDestinationOnFailure) {
  const Bytes destination = iconOf({entry(16, 16, 4), entry(32, 32, 8), entry(48, 48, 32)});
  const Source s = indexed32(20);
  const SourcePair built{&s.bitmap, &s.mask, true};
  const SaveChoices add{kMergeAdd, 8, false, {}};
  SaveChoices choices;

  auto out = assembleFromSource(built, destination, choices, fakeForm(true, true, add));
  EXPECT_EQ(out.result, SaveResult::Saved);
  // A second image of a placed size and depth goes after the sorted ones.
  EXPECT_EQ(out.newImageIndex, 2);
  EXPECT_EQ(formatsOf(out.bytes), (std::vector<Format>{{32, 32, 8}, {48, 48, 32}, {32, 32, 8}}));

  // Cancel: the destination less the deletions, no error.
  out = assembleFromSource(built, destination, choices, fakeForm(false, true, add));
  EXPECT_EQ(out.result, SaveResult::Cancelled);
  EXPECT_EQ(formatsOf(out.bytes), (std::vector<Format>{{32, 32, 8}, {48, 48, 32}}));

  // Cancel with no destination: nothing to write.
  out = assembleFromSource(built, {}, choices, fakeForm(false, false, add));
  EXPECT_EQ(out.result, SaveResult::CancelledNewFile);
  EXPECT_TRUE(out.bytes.empty());

  // Captured data that does not match: the file gets its old bytes back.
  bool shown = false;
  auto watch = [&](Bytes&, SaveChoices&) {
    shown = true;
    return OptionsAnswer::Ok;
  };
  out = assembleFromSource({&s.bitmap, &s.mask, false}, destination, choices, watch);
  EXPECT_FALSE(shown);
  EXPECT_EQ(out.result, SaveResult::Failed);
  EXPECT_EQ(out.bytes, destination);

  // A form that fails outright loses nothing either.
  auto broken = [](Bytes& d, SaveChoices&) -> OptionsAnswer {
    d.clear();
    throw std::runtime_error("form failed");
  };
  out = assembleFromSource(built, destination, choices, broken);
  EXPECT_EQ(out.result, SaveResult::Failed);
  EXPECT_EQ(out.bytes, destination);

  EXPECT_EQ(keepDestination(destination, SaveResult::Failed).bytes, destination);
}

TEST(Assembly, PngFallbackReportsAFailedMergeAndRestoresTheDestination) {
  const Bytes destination = iconOf({entry(16, 16, 4), entry(32, 32, 8)});
  const SaveChoices add{kMergeAdd, 32, false, {}};
  SaveChoices choices;
  const Bytes png = icotest::pngBlock(24, 24);

  auto out = assembleFromPng(&png, destination, choices, fakeForm(true, false, add));
  EXPECT_EQ(out.result, SaveResult::Saved);
  EXPECT_EQ(formatsOf(out.bytes), (std::vector<Format>{{16, 16, 4}, {32, 32, 8}, {24, 24, 8}}));

  platform::scripted::reset();
  const Bytes broken = {0x89, 'P', 'N', 'G'};
  for (const Bytes* readBack : {&broken, static_cast<const Bytes*>(nullptr)}) {
    out = assembleFromPng(readBack, destination, choices, fakeForm(true, true, add));
    EXPECT_EQ(out.result, SaveResult::Failed);
    EXPECT_EQ(out.bytes, destination);
  }
  ASSERT_EQ(platform::scripted::messageBoxes().size(), 2u);
  EXPECT_EQ(platform::scripted::messageBoxes()[0].text,
            "Error in plugin module: procedure AddPNGStreamToIconStream");

  out = assembleFromPng(&png, {}, choices, fakeForm(false, false, add));
  EXPECT_EQ(out.result, SaveResult::CancelledNewFile);
  EXPECT_TRUE(out.bytes.empty());
}
