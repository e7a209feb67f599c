#include "pixels/reduce.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "pixels/colour_set.h"
#include "pixels/nearest.h"
#include "pixels/palettes.h"

namespace icofmt {

namespace {

constexpr int kLevels = 33;
constexpr int kCells = kLevels * kLevels * kLevels;

inline int levelOf(uint32_t v) { return static_cast<int>((v + 4) >> 3); }
inline uint32_t levelColour(int level) { return level == 32 ? 255u : static_cast<uint32_t>(level * 8); }

// Calls f(colour) for each eligible pixel from the top row, left to right,
// skipping a pixel whose colour equals the previous eligible one (no list
// changes on a repeat); f returns false to stop.
template <typename F>
void scanEligible(const TBitmap& src, int threshold, F&& f) {
  const bool has32 = src.Format() == PixelFormat::Bits32;
  const int step = has32 ? 4 : 3;
  bool havePrev = false;
  Colour prev = 0;
  for (int y = 0; y < src.Height(); ++y) {
    const uint8_t* p = src.ScanLine(y);
    for (int x = 0; x < src.Width(); ++x, p += step) {
      if (has32 && p[3] < threshold) continue;
      Colour c = colourFromBgr(p);
      if (havePrev && c == prev) continue;
      havePrev = true;
      prev = c;
      if (!f(c)) return;
    }
  }
}

// Appends histogram cells to the palette until it holds limit colours: cells
// on the grid of step 8, then 4, 2 and 1, each group by decreasing count and
// in sweep order (red outermost) between equal counts.
void popularityPass(const TBitmap& src, ColourSet& palette, size_t limit) {
  std::vector<uint8_t> hist(kCells, 0);
  const int step = src.Format() == PixelFormat::Bits32 ? 4 : 3;
  for (int y = 0; y < src.Height(); ++y) {
    const uint8_t* p = src.ScanLine(y);
    for (int x = 0; x < src.Width(); ++x, p += step) {
      int cell = levelOf(p[2]) * kLevels * kLevels + levelOf(p[1]) * kLevels + levelOf(p[0]);
      if (hist[static_cast<size_t>(cell)] != 255) ++hist[static_cast<size_t>(cell)];
    }
  }
  std::array<std::vector<int>, 256> byCount;
  for (int e : {8, 4, 2, 1}) {
    for (auto& bucket : byCount) bucket.clear();
    for (int r = 0; r < kLevels; r += e)
      for (int g = 0; g < kLevels; g += e)
        for (int b = 0; b < kLevels; b += e) {
          int cell = (r * kLevels + g) * kLevels + b;
          uint8_t n = hist[static_cast<size_t>(cell)];
          if (n == 0) continue;
          byCount[n].push_back(cell);
          hist[static_cast<size_t>(cell)] = 0;
        }
    for (int n = 255; n >= 1; --n)
      for (int cell : byCount[static_cast<size_t>(n)]) {
        int r = cell / (kLevels * kLevels), g = (cell / kLevels) % kLevels, b = cell % kLevels;
        palette.add(makeColour(levelColour(r), levelColour(g), levelColour(b)));
        if (palette.size() >= limit) return;
      }
  }
}

ColourList buildPalette(const TBitmap& src, bool seed, int threshold, size_t limit) {
  const bool has32 = src.Format() == PixelFormat::Bits32;
  ColourSet palette;
  if (seed) {
    palette.add(kBlack);
    palette.add(kWhite);
  }
  palette.truncate(limit);
  if (palette.size() == limit) return palette.list();

  const uint8_t* first = src.Data();
  if (!has32 || first[3] >= threshold) palette.add(colourFromBgr(first));
  const size_t seeded = palette.size();
  ColourSet bits7, bits6, bits5;
  bits7.assign(palette.list());
  bits6.assign(palette.list());
  bits5.assign(palette.list());

  scanEligible(src, threshold, [&](Colour c) {
    if (palette.size() <= limit) palette.add(c);
    if (bits7.size() <= limit) bits7.add(c & 0xFEFEFE);
    if (bits6.size() <= limit) bits6.add(c & 0xFCFCFC);
    return !(bits5.add(c & 0xF8F8F8) && bits5.size() > limit);
  });

  if (palette.size() > limit) {
    ColourSet* finer = &palette;
    ColourSet* chosen = nullptr;
    for (ColourSet* list : {&bits7, &bits6, &bits5}) {
      if (list->size() <= limit) {
        chosen = list;
        break;
      }
      finer = list;
    }
    if (chosen) {
      if (chosen->size() < limit) chosen->addAll(finer->list());
      chosen->truncate(limit);
      palette.assign(chosen->list());
    } else {
      palette.truncate(seeded);
      popularityPass(src, palette, limit);
      if (palette.size() >= limit) {
        palette.truncate(limit);
        return palette.list();
      }
    }
  }

  if (palette.size() < limit)
    scanEligible(src, threshold, [&](Colour c) {
      palette.add(c);
      return palette.size() < limit;
    });
  if (has32 && palette.size() == 0 && limit > 0) palette.add(kBlack);
  palette.truncate(limit);
  return palette.list();
}

}  // namespace

void ReduceTo8Bit(const TBitmap& source, TBitmap& dst, bool seed, int threshold, int maxColours) {
  TBitmap converted;
  const bool direct = source.Format() == PixelFormat::Bits24 || source.Format() == PixelFormat::Bits32;
  if (!direct) converted = ToBits24(source);
  const TBitmap& src = direct ? source : converted;

  TBitmap out;
  SetupBitmap(out, src.Width(), src.Height(), PixelFormat::Bits8);
  if (src.Empty()) {
    dst = std::move(out);
    return;
  }
  const size_t limit = static_cast<size_t>(std::clamp(maxColours, 0, 256));
  ColourList palette = buildPalette(src, seed, threshold, limit);
  ApplyPalette(out, palette);

  NearestMapper mapper(palette);
  const bool has32 = src.Format() == PixelFormat::Bits32;
  const int step = has32 ? 4 : 3;
  for (int y = 0; y < src.Height(); ++y) {
    const uint8_t* p = src.ScanLine(y);
    uint8_t* d = out.ScanLine(y);
    for (int x = 0; x < src.Width(); ++x, p += step)
      d[x] = static_cast<uint8_t>(has32 && p[3] < threshold ? 0 : mapper.Map(colourFromBgr(p)));
  }
  dst = std::move(out);
}

int ChooseAutomaticDepth(const TBitmap& bmp) {
  PixelFormat f = bmp.Format();
  if (f != PixelFormat::Bits1 && f != PixelFormat::Bits4 && f != PixelFormat::Bits8) return 32;
  ColourList colours;
  if (!CollectColours(bmp, colours, 16)) return 8;
  auto blackOrWhite = [](Colour c) { return c == kBlack || c == kWhite; };
  if (colours.size() == 2 && blackOrWhite(colours[0]) && blackOrWhite(colours[1])) return 1;
  return std::all_of(colours.begin(), colours.end(), IsStandardColour) ? 4 : 8;
}

bool CollectColours(const TBitmap& bmp, ColourList& list, int limit) {
  std::vector<uint8_t> row(static_cast<size_t>(bmp.Width()) * 3);
  bool havePrev = false;
  Colour prev = 0;
  for (int y = 0; y < bmp.Height(); ++y) {
    ReadRow24(bmp, y, row.data());
    for (int x = 0; x < bmp.Width(); ++x) {
      Colour c = colourFromBgr(row.data() + 3 * x);
      if (havePrev && c == prev) continue;
      havePrev = true;
      prev = c;
      if (std::find(list.begin(), list.end(), c) != list.end()) continue;
      if (static_cast<int64_t>(list.size()) >= limit) return false;
      list.push_back(c);
    }
  }
  return true;
}

bool ExactPalette8(const TBitmap& src, TBitmap& dst, bool seed, bool fillFromDefault) {
  ColourList list;
  if (seed) list = {kBlack, kWhite};
  TBitmap out;
  SetupBitmap(out, src.Width(), src.Height(), PixelFormat::Bits8);
  std::vector<uint8_t> row(static_cast<size_t>(src.Width()) * 3);
  bool havePrev = false;
  Colour prev = 0;
  int prevIndex = 0;
  bool ok = true;
  for (int y = 0; y < src.Height() && ok; ++y) {
    ReadRow24(src, y, row.data());
    uint8_t* d = out.ScanLine(y);
    for (int x = 0; x < src.Width(); ++x) {
      Colour c = colourFromBgr(row.data() + 3 * x);
      if (!havePrev || c != prev) {
        auto it = std::find(list.begin(), list.end(), c);
        if (it == list.end()) {
          if (list.size() >= 256) {
            ok = false;
            break;
          }
          list.push_back(c);
          it = list.end() - 1;
        }
        havePrev = true;
        prev = c;
        prevIndex = static_cast<int>(it - list.begin());
      }
      d[x] = static_cast<uint8_t>(prevIndex);
    }
  }
  if (ok) {
    if (fillFromDefault)
      FillFromDefaultPalette(list, 256);
    else
      list.resize(256, kBlack);
    ReplacePaletteEntries(out, list.data(), 256);
  }
  dst = std::move(out);
  return ok;
}

bool MaskIsWhite(const TBitmap& mask, int x, int y) {
  if (x >= mask.Width() || y >= mask.Height()) return false;
  return mask.GetPixel(x, y) == kWhite;
}

int ReserveTransparentIndex(TBitmap& bmp, const TBitmap& mask, Colour transparent) {
  if (!bmp.Paletted() || bmp.Bits() == 0 || bmp.Palette().empty()) return -1;
  const int n = static_cast<int>(ColourCapacity(bmp.Format()));
  ColourList pal = bmp.Palette();
  pal.resize(static_cast<size_t>(n), kBlack);
  std::array<int, 256> count{};
  for (int y = 0; y < bmp.Height(); ++y)
    for (int x = 0; x < bmp.Width(); ++x) {
      int& c = count[static_cast<size_t>(bmp.GetIndex(x, y))];
      if (c < 255) ++c;
    }
  int freeSlot = -1;
  for (int i = 0; i < n && freeSlot < 0; ++i)
    if (count[static_cast<size_t>(i)] == 0) freeSlot = i;

  if (freeSlot < 0) {
    uint32_t bestDistance = 49744125;
    int bestSum = 510, bi = 0, bj = 1;
    for (int i = 0; i < n; ++i)
      for (int j = i + 1; j < n; ++j) {
        uint32_t d = squaredDistance(pal[static_cast<size_t>(i)], pal[static_cast<size_t>(j)]);
        int sum = count[static_cast<size_t>(i)] + count[static_cast<size_t>(j)];
        if (d < bestDistance || (d == bestDistance && sum < bestSum)) {
          bestDistance = d;
          bestSum = sum;
          bi = i;
          bj = j;
        }
      }
    auto blackOrWhite = [](Colour c) { return c == kBlack || c == kWhite; };
    Colour ci = pal[static_cast<size_t>(bi)], cj = pal[static_cast<size_t>(bj)];
    int ni = count[static_cast<size_t>(bi)], nj = count[static_cast<size_t>(bj)];
    bool dropJ = ni > nj || blackOrWhite(ci);
    int drop = dropJ ? bj : bi, keep = dropJ ? bi : bj;
    Colour& kept = pal[static_cast<size_t>(keep)];
    if (!blackOrWhite(kept)) {
      auto mean = [&](uint32_t a, uint32_t b) { return (a * ni + b * nj) / static_cast<uint32_t>(ni + nj); };
      kept = makeColour(mean(redOf(ci), redOf(cj)), mean(greenOf(ci), greenOf(cj)),
                        mean(blueOf(ci), blueOf(cj)));
    }
    for (int y = 0; y < bmp.Height(); ++y)
      for (int x = 0; x < bmp.Width(); ++x)
        if (bmp.GetIndex(x, y) == drop) bmp.SetIndex(x, y, keep);
    freeSlot = drop;
  }

  pal[static_cast<size_t>(freeSlot)] = kBlack;
  if (transparent == NoColour) {
    ColourList sorted = pal;
    std::sort(sorted.begin(), sorted.end());
    transparent = 0;
    for (Colour c : sorted)
      if (c == transparent) ++transparent;
  }
  std::copy_backward(pal.begin(), pal.begin() + freeSlot, pal.begin() + freeSlot + 1);
  pal[0] = transparent & 0xFFFFFF;
  bmp.SetPalette(pal);
  for (int y = 0; y < bmp.Height(); ++y)
    for (int x = 0; x < bmp.Width(); ++x) {
      if (MaskIsWhite(mask, x, y))
        bmp.SetIndex(x, y, 0);
      else if (int i = bmp.GetIndex(x, y); i < freeSlot)
        bmp.SetIndex(x, y, i + 1);
    }
  return 0;
}

void MarkTransparentPixels(TBitmap& bmp, const TBitmap& mask, Colour c) {
  if (bmp.Format() != PixelFormat::Bits8) return;
  const ColourList& pal = bmp.Palette();
  auto it = std::find(pal.begin(), pal.end(), c & 0xFFFFFF);
  int k = it == pal.end() ? 0 : static_cast<int>(it - pal.begin());
  for (int y = 0; y < bmp.Height(); ++y)
    for (int x = 0; x < bmp.Width(); ++x)
      if (MaskIsWhite(mask, x, y)) bmp.SetIndex(x, y, k);
}

}  // namespace icofmt
