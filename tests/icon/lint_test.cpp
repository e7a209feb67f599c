// The linter: a clean icon gets no finding, and an icon with one fault, made
// from the fault's description, gets exactly that finding.
#include "icon/lint.h"

#include <gtest/gtest.h>

#include <functional>

#include "icon_builders.h"

using namespace icofmt;
using namespace icotest;

namespace {

// A square image with real alpha: opaque colours, the transparent pixels
// black under the mask, as careful writers make them.
EntrySpec image(uint32_t w, uint32_t h = 0) {
  h = h ? h : w;
  auto clear = [](uint32_t x, uint32_t y) { return x < 2 && y < 2; };
  EntrySpec e;
  e.block = pixelBlock(
      w, h, 32, {}, [&](uint32_t x, uint32_t y) { return clear(x, y) ? 0u : 0xFF000000u | (x * 8 << 8) | y; },
      clear);
  e.width = static_cast<uint8_t>(w);
  e.height = static_cast<uint8_t>(h);
  e.planes = 1;
  e.bitCount = 32;
  return e;
}

EntrySpec png(Bytes block, uint8_t side) {
  EntrySpec e;
  e.block = std::move(block);
  e.width = e.height = side;
  e.planes = 1;
  e.bitCount = 32;
  return e;
}

std::vector<EntrySpec> clean() { return {image(16), image(32), image(48), png(pngBlock(256, 256), 0)}; }

bool onEdge(uint32_t x, uint32_t y) { return x == 0 || y == 0 || x == 15 || y == 15; }

// A 16 x 16 image of bpp bits with the palette given: white around the edge,
// red inside; transparent(x, y) sets the mask.
EntrySpec framed(uint16_t bpp, std::vector<uint32_t> palette, std::function<uint32_t(bool)> value,
                 std::function<bool(uint32_t, uint32_t)> transparent) {
  EntrySpec e;
  e.block = pixelBlock(
      16, 16, bpp, palette, [&](uint32_t x, uint32_t y) { return value(onEdge(x, y)); }, transparent);
  e.width = e.height = 16;
  e.planes = 1;
  e.bitCount = bpp;
  return e;
}

std::vector<EntrySpec> with(std::function<void(std::vector<EntrySpec>&)> change) {
  auto entries = clean();
  change(entries);
  return entries;
}

struct Case {
  const char* fault;
  std::function<Bytes()> icon;
  std::vector<std::string> expected;  // "code level image"; messages are for people
  const char* name = "app.ico";
};

}  // namespace

TEST(Lint, EachFaultGivesExactlyItsFinding) {
  auto one = [](std::vector<EntrySpec> e, uint16_t type = 1, uint16_t reserved = 0) {
    return [=] { return iconFile(e, type, reserved); };
  };
  const std::vector<Case> cases = {
      {"clean", one(clean()), {}},
      {"header cut short",
       [] {
         return Bytes{0, 0, 1, 0};
       },
       {"header-short error 0"}},
      {"reserved not 0", one(clean(), 1, 7), {"header-reserved error 0"}},
      {"type 3", one(clean(), 3), {"header-type error 0"}},
      {"count past the directory",
       [] {
         Bytes f = iconFile(clean());
         f[4] = 5;
         return f;
       },
       {"header-count error 0"}},
      {"block past the end",
       one(with([](auto& e) {
         e.push_back(image(24));
         e.back().offset = 1 << 20;
       })),
       {"block-outside error 5"}},
      {"blocks overlapping",
       one(with([](auto& e) { e[0].size = static_cast<int64_t>(e[0].block.size() + e[1].block.size()); })),
       {"block-overlap error 2"}},
      {"broken PNG",
       one(with([](auto& e) {
         e.push_back(png(pngBlock(24, 24), 24));
         e.back().block.resize(40);
       })),
       {"image-unreadable error 5"}},
      {"pixels missing",
       one(with([](auto& e) {
         e.push_back(image(24));
         e.back().block.resize(200);
       })),
       {"block-short error 5"}},
      {"mask missing",
       one(with([](auto& e) {
         e.push_back(image(24));
         e.back().block.pop_back();
       })),
       {"mask-short error 5"}},
      {"directory size", one(with([](auto& e) { e[0].width = 0; })), {"entry-size error 1"}},
      {"directory depth", one(with([](auto& e) { e[1].bitCount = 8; })), {"entry-depth warning 2"}},
      {"palette PNG",
       one(with([](auto& e) {
         e[3] = png(pngFile(256, 256, 8, 3, std::vector<Bytes>(256, Bytes(256, 1)), Bytes(6, 0x80)), 0);
         e[3].bitCount = 8;
       })),
       {"png-format warning 4"}},
      {"small PNG alone",
       one(with([](auto& e) { e[0] = png(pngBlock(16, 16), 16); })),
       {"png-no-bitmap warning 1"}},
      {"alpha all 0",
       one(with([](auto& e) {
         e[0] = framed(
             32, {}, [](bool edge) { return edge ? 0u : 0x00FF0000u; }, onEdge);
       })),
       {"alpha-zero error 1"}},
      {"empty mask over a background",
       one(with([](auto& e) {
         e[0] = framed(
             24, {}, [](bool edge) { return edge ? 0xFFFFFFu : 0xFF0000u; },
             [](uint32_t, uint32_t) { return false; });
       })),
       {"mask-empty warning 1"}},
      {"colour under the mask",
       one(with([](auto& e) {
         e[0] = framed(
             24, {}, [](bool edge) { return edge ? 0xFFFFFFu : 0xFF0000u; }, onEdge);
       })),
       {"mask-colour warning 1"}},
      {"index past the palette",
       one(with([](auto& e) {
         e[0] = framed(
             4, {0, 0xFF0000}, [](bool edge) { return edge ? 0u : 5u; }, onEdge);
       })),
       {"palette-index error 1"}},
      {"no 16 pixels", one(with([](auto& e) { e.erase(e.begin()); })), {"sizes-small warning 0"}},
      {"no 256 pixels", one(with([](auto& e) { e.pop_back(); })), {"size-256 warning 0"}},
      {"not square", one(with([](auto& e) { e.push_back(image(24, 20)); })), {"not-square warning 5"}},
      {"same size twice", one(with([](auto& e) { e.push_back(e[1]); })), {"duplicate warning 5"}},
      {"hot spot outside",
       [] {
         EntrySpec c = image(32);
         c.planes = 40;
         c.bitCount = 3;
         return iconFile({c}, 2);
       },
       {"hotspot-outside error 1"}},
      {"large favicon", one(clean()), {"favicon-size note 0"}, "site/FavIcon.ico"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    std::vector<std::string> got;
    for (const auto& f : lint::checkIcon(c.icon(), c.name))
      got.push_back(f.code + " " + lint::levelName(f.level) + " " + std::to_string(f.image));
    EXPECT_EQ(got, c.expected);
  }
}
