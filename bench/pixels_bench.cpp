// Colour reduction, conversion and PNG work on icon-sized images.
#include <benchmark/benchmark.h>

#include <random>

#include "pixels/alpha.h"
#include "pixels/convert.h"
#include "pixels/png_image.h"
#include "pixels/reduce.h"
#include "pixels/resample.h"

namespace icofmt {
namespace {

constexpr int kSide = 256;

void put(TBitmap& b, int x, int y, Colour c, uint8_t a) {
  uint8_t* p = b.ScanLine(y) + 4 * x;
  storeBgr(p, c);
  p[3] = a;
}

// Image kinds: 0 a few colours, 1 two hundred colours, 2 photograph-like
// (smooth gradients with noise: tens of thousands of colours).
TBitmap image(int kind) {
  TBitmap b;
  SetupBitmap32(b, kSide, kSide, 0xFF000000);
  std::mt19937 rng(42);
  ColourList few = {0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF, 0x808080, 0x123456};
  ColourList many;
  for (int i = 0; i < 200; ++i) many.push_back(rng() & 0xFFFFFF);
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x) {
      Colour c;
      if (kind == 0)
        c = few[static_cast<size_t>((x / 16 + y / 16) % 6)];
      else if (kind == 1)
        c = many[rng() % 200];
      else
        c = makeColour((x + rng() % 24) & 255, (y + rng() % 24) & 255, ((x + y) / 2 + rng() % 24) & 255);
      uint8_t a = (x - 128) * (x - 128) + (y - 128) * (y - 128) > 120 * 120 ? 0 : 255;
      put(b, x, y, c, a);
    }
  return b;
}

void BM_ReduceTo8Bit(benchmark::State& state) {
  TBitmap src = image(static_cast<int>(state.range(0)));
  TBitmap dst;
  for (auto _ : state) {
    ReduceTo8Bit(src, dst, true, 80, 256);
    benchmark::DoNotOptimize(dst.Data());
  }
}
BENCHMARK(BM_ReduceTo8Bit)->Arg(0)->Arg(1)->Arg(2)->ArgName("kind")->Unit(benchmark::kMillisecond);

// One smaller size of a 256 x 256 photograph-like picture with transparency.
void BM_ScaleToIconSquare(benchmark::State& state) {
  const TBitmap src = image(2);
  TBitmap mask, scaled, scaledMask;
  MaskFromZeroAlpha(src, mask, 0, false);
  for (auto _ : state) {
    ScaleToIconSquare(src, &mask, static_cast<int>(state.range(0)), scaled, scaledMask);
    benchmark::DoNotOptimize(scaled.Data());
  }
}
BENCHMARK(BM_ScaleToIconSquare)->Arg(16)->Arg(48)->Arg(128)->ArgName("side")->Unit(benchmark::kMillisecond);

void BM_ConvertBitmap(benchmark::State& state) {
  TBitmap src = image(2);
  TBitmap dst, mask;
  const PixelFormat target = PixelFormatForBits(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    ConvertBitmap(src, nullptr, dst, &mask, target, 80, false);
    benchmark::DoNotOptimize(dst.Data());
  }
}
BENCHMARK(BM_ConvertBitmap)
    ->Arg(1)
    ->Arg(4)
    ->Arg(8)
    ->Arg(24)
    ->Arg(32)
    ->ArgName("bits")
    ->Unit(benchmark::kMillisecond);

void BM_SplitPngRgba(benchmark::State& state) {
  std::vector<uint8_t> bytes = PngImage::FromBitmap(image(2)).Encode();
  for (auto _ : state) {
    PngImage png;
    png.LoadFromMemory(bytes);
    TBitmap colour, mask;
    SplitPng(png, colour, mask, 80);
    benchmark::DoNotOptimize(colour.Data());
  }
}
BENCHMARK(BM_SplitPngRgba)->Unit(benchmark::kMillisecond);

void BM_PngEncode(benchmark::State& state) {
  TBitmap src = image(2);
  TBitmap pal;
  ReduceTo8Bit(src, pal, true, 80, 256);
  PngImage png = PngImage::FromBitmap(state.range(0) == 32 ? src : pal);
  for (auto _ : state) benchmark::DoNotOptimize(png.Encode());
}
BENCHMARK(BM_PngEncode)->Arg(8)->Arg(32)->ArgName("bits")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace icofmt
