// The end-to-end test's helper: writes the corpus of icons it opens, and
// compares two PNG files by their decoded RGBA.
//   open_corpus make DIR
//   open_corpus compare A.png B.png
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "../icon/icon_builders.h"
#include "../icon/pictures.h"
#include "base/stream.h"
#include "pixels/png_image.h"

namespace {

using icotest::Bytes;
using icotest::EntrySpec;
using icotest::Picture;

EntrySpec entry(const Picture& p) {
  return {p.block(), static_cast<uint8_t>(p.w), static_cast<uint8_t>(p.h), 0, 0, 1, p.bpp};
}

EntrySpec pngEntry(uint32_t w, uint32_t h) {
  return {icotest::pngBlock(w, h), static_cast<uint8_t>(w), static_cast<uint8_t>(h), 0, 0, 1, 32};
}

void make(const std::string& dir) {
  auto write = [&](const char* name, const Bytes& bytes) { icofmt::writeFileBytes(dir + "/" + name, bytes); };
  // Every depth, with and without transparent pixels.
  write("depths.ico",
        icotest::iconFile({entry({16, 16, 1, true}), entry({32, 32, 4, true}), entry({48, 48, 8, true}),
                           entry({24, 24, 16, true}), entry({32, 32, 24, true}), entry({48, 48, 32, true}),
                           entry({16, 16, 8, false}), entry({16, 16, 24, false})}));
  write("odd.ico",
        icotest::iconFile({entry({13, 7, 4, true}), entry({5, 31, 24, true}), entry({1, 1, 1, false}),
                           entry({33, 17, 32, true}), entry({7, 3, 8, true})}));
  // Grey with alpha and RGB PNG entries too: extract hands on their image
  // data as stored, open converts it.
  std::vector<Bytes> grey(12), rgb(9);
  for (uint32_t y = 0; y < 12; ++y)
    for (uint32_t x = 0; x < 10; ++x) grey[y].insert(grey[y].end(), {uint8_t(x * 25), uint8_t(y * 20)});
  for (uint32_t y = 0; y < 9; ++y)
    for (uint32_t x = 0; x < 7; ++x) rgb[y].insert(rgb[y].end(), {uint8_t(x * 30), uint8_t(y * 28), 77});
  write("png.ico", icotest::iconFile({pngEntry(256, 256),
                                      pngEntry(20, 10),
                                      entry({16, 16, 32, true}),
                                      {icotest::pngFile(10, 12, 8, 4, grey), 10, 12, 0, 0, 1, 32},
                                      {icotest::pngFile(7, 9, 8, 2, rgb), 7, 9, 0, 0, 1, 32}}));
  write("big.ico", icotest::iconFile({entry({256, 256, 32, true}), entry({256, 256, 8, true})}));
  // Cursors keep the hot spot where icons keep planes and depth.
  EntrySpec c1 = entry({32, 32, 1, true}), c2 = entry({32, 32, 32, true});
  c1.planes = c2.planes = 5;
  c1.bitCount = c2.bitCount = 9;
  write("pointer.cur", icotest::iconFile({c1, c2}, 2));
  // A directory that disagrees with its blocks: sizes and depths come from the blocks.
  EntrySpec wrong = entry({32, 32, 32, true});
  wrong.width = wrong.height = 16;
  wrong.bitCount = 8;
  EntrySpec wrongPng = pngEntry(48, 24);
  wrongPng.width = 0;
  write("disagree.ico", icotest::iconFile({wrong, wrongPng}));
  write("one.ico", icotest::iconFile({entry({24, 24, 4, true})}));
  write("text.ico", Bytes{'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'c', 'o', 'n'});
  write("empty.ico", Bytes{});
  // Reads as an image of no pixels, which cannot be converted.
  write("zeros.ico", icotest::iconFile({{Bytes(80, 0), 16, 16, 0, 0, 1, 32}}));
  Bytes brokenPng = icotest::pngBlock(32, 32);
  brokenPng[20] ^= 0xFF;
  write("unreadable.ico",
        icotest::iconFile({{Bytes(64, 0xAB), 16, 16, 0, 0, 1, 32}, {brokenPng, 32, 32, 0, 0, 1, 32}}));
}

icofmt::PngImage load(const char* path) {
  icofmt::PngImage png;
  icofmt::TFileStream f(path, icofmt::TFileStream::Mode::OpenRead);
  png.LoadFromStream(f);
  return png;
}

int compare(const char* a, const char* b) {
  const icofmt::PngImage pa = load(a), pb = load(b);
  if (pa.Width() != pb.Width() || pa.Height() != pb.Height()) {
    std::fprintf(stderr, "%dx%d against %dx%d\n", pa.Width(), pa.Height(), pb.Width(), pb.Height());
    return 1;
  }
  for (int y = 0; y < pa.Height(); ++y)
    for (int x = 0; x < pa.Width(); ++x) {
      uint8_t ca[4], cb[4];
      pa.PixelRgba(x, y, ca);
      pb.PixelRgba(x, y, cb);
      if (std::memcmp(ca, cb, 4) != 0) {
        std::fprintf(stderr, "(%d, %d): %02x%02x%02x%02x against %02x%02x%02x%02x\n", x, y, ca[0], ca[1],
                     ca[2], ca[3], cb[0], cb[1], cb[2], cb[3]);
        return 1;
      }
    }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    if (argc == 3 && std::string(argv[1]) == "make") {
      make(argv[2]);
      return 0;
    }
    if (argc == 4 && std::string(argv[1]) == "compare") return compare(argv[2], argv[3]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "open_corpus: %s\n", e.what());
    return 2;
  }
  std::fprintf(stderr, "usage: open_corpus make DIR | compare A.png B.png\n");
  return 2;
}
