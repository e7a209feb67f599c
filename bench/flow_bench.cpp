// The whole open and save paths in-process, through PluginMain and the
// carried module, beside the floor of the design: one PNG encode and one
// decode of the same pixels. Each benchmark also reports the peak of live
// heap bytes during one run of its operation (peak_heap_MiB, counted by the
// malloc hook below, libpng's and zlib's memory included) and the process's
// peak resident size (maxrss_MiB, which only grows).
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <atomic>
#include <filesystem>
#include <random>
#include <string>

#include "carried/png_document.h"
#include "icon/advanced_icon.h"
#include "module_host.h"
#include "open/form_select.h"
#include "pixels/bitmap.h"
#include "pixels/png_image.h"
#include "platform/files.h"
#include "platform/scripted.h"
#include "save/assembly.h"
#include "save/options_form.h"

// A counting front on glibc's allocator: live bytes and their peak, while
// counting is on. Counting is switched on only for the untimed measuring run.
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void __libc_free(void*);
}

namespace {
std::atomic<bool> gCounting{false};
std::atomic<long long> gLive{0};
std::atomic<long long> gPeak{0};

void counted(void* p) {
  if (p == nullptr || !gCounting.load(std::memory_order_relaxed)) return;
  const long long now = gLive += static_cast<long long>(malloc_usable_size(p));
  long long peak = gPeak.load(std::memory_order_relaxed);
  while (now > peak && !gPeak.compare_exchange_weak(peak, now)) {
  }
}
void uncounted(void* p) {
  if (p != nullptr && gCounting.load(std::memory_order_relaxed))
    gLive -= static_cast<long long>(malloc_usable_size(p));
}
}  // namespace

extern "C" {
void* malloc(size_t size) noexcept {
  void* p = __libc_malloc(size);
  counted(p);
  return p;
}
void* calloc(size_t n, size_t size) noexcept {
  void* p = __libc_calloc(n, size);
  counted(p);
  return p;
}
void* realloc(void* old, size_t size) noexcept {
  uncounted(old);
  void* p = __libc_realloc(old, size);
  counted(p != nullptr || size == 0 ? p : old);
  return p;
}
void free(void* p) noexcept {
  uncounted(p);
  __libc_free(p);
}
void* memalign(size_t alignment, size_t size) noexcept {
  void* p = __libc_memalign(alignment, size);
  counted(p);
  return p;
}
void* aligned_alloc(size_t alignment, size_t size) noexcept { return memalign(alignment, size); }
int posix_memalign(void** out, size_t alignment, size_t size) noexcept {
  void* p = memalign(alignment, size);
  if (p == nullptr) return 12;  // ENOMEM
  *out = p;
  return 0;
}
}

namespace icofmt {
namespace {

namespace fs = std::filesystem;
using Action = platform::scripted::UserAction;
namespace select_form = open::select_controls;
namespace options_form = save::options_controls;

constexpr int kSide = 256;

// Soft colours with noise, opaque inside a circle with a soft edge: what an
// icon's large image looks like to a compressor.
TBitmap picture(int side, unsigned seed) {
  TBitmap b;
  SetupBitmap32(b, side, side, 0);
  std::mt19937 rng(seed);
  const int c = side / 2, r = side * 15 / 32;
  for (int y = 0; y < side; ++y) {
    std::uint8_t* p = b.ScanLine(y);
    for (int x = 0; x < side; ++x, p += 4) {
      const int d2 = (x - c) * (x - c) + (y - c) * (y - c);
      p[0] = static_cast<std::uint8_t>((x * 255 / side + rng() % 8) & 255);
      p[1] = static_cast<std::uint8_t>((y * 255 / side + rng() % 8) & 255);
      p[2] = static_cast<std::uint8_t>(((x + y) * 127 / side + 64) & 255);
      p[3] = d2 < (r - 2) * (r - 2) ? 255 : d2 < r * r ? static_cast<std::uint8_t>(128) : 0;
    }
  }
  return b;
}

carried::Document rgbaDocument(const TBitmap& b) {
  carried::Document doc;
  doc.mode = carried::kModeRgb;
  doc.width = b.Width();
  doc.height = b.Height();
  doc.planes = 4;
  doc.alphaPlane = 3;
  doc.pixels.resize(static_cast<size_t>(doc.width) * doc.height * 4);
  for (int y = 0; y < doc.height; ++y) {
    const std::uint8_t* s = b.ScanLine(y);
    std::uint8_t* d = doc.pixels.data() + static_cast<size_t>(y) * doc.width * 4;
    for (int x = 0; x < doc.width; ++x, s += 4, d += 4) {
      d[0] = s[2];
      d[1] = s[1];
      d[2] = s[0];
      d[3] = s[3];
    }
  }
  return doc;
}

// The working folder, the module loaded once, and the seven-image icon:
// 16 x 16 at 4 bits, 32 x 32 at 8, 16, 24, 32 and 48 at 32 and 256 x 256 at
// 32 bits stored as PNG.
struct Fixture {
  std::string folder;
  std::string sevenIcon;
  // Where the 256 x 256 image stands once the images are sorted.
  int largeIndex = -1;
  carried::Document image;
  icohost::ModuleHost host;

  Fixture() {
    char pattern[] = "/tmp/icofmt-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) std::abort();
    folder = pattern;
    host.load(ICOFMT_MODULE);
    save::Bytes icon;
    const std::pair<int, int> images[] = {{16, 4},  {32, 8},  {16, 32}, {24, 32},
                                          {32, 32}, {48, 32}, {256, 32}};
    unsigned seed = 1;
    for (const auto& [side, depth] : images) {
      TBitmap b = picture(side, seed++);
      if (save::AddBitmapToIconStream(&b, nullptr, &icon, depth, true, save::kMergeAdd) < 0) std::abort();
    }
    sevenIcon = folder + "/seven.ico";
    if (!platform::writeWholeFile(sevenIcon, icon)) std::abort();
    TAdvancedIcon loaded;
    if (!loaded.LoadFromFile(sevenIcon) || loaded.Images().Count() != 7) std::abort();
    for (std::uint32_t i = 0; i < 7; ++i)
      if (loaded.Images().Items(i)->Width() == kSide && loaded.Images().Items(i)->Packed())
        largeIndex = static_cast<int>(i);
    if (largeIndex < 0) std::abort();
    image = rgbaDocument(picture(kSide, 99));
  }
  ~Fixture() {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }
};

Fixture& fixture() {
  static Fixture f;
  return f;
}

void script(std::vector<Action> actions) {
  platform::scripted::reset();
  platform::scripted::setUserActions(std::move(actions));
  platform::scripted::setConfirmUnscripted(true);
}

// Runs op once with the heap counted, then reports the counters.
template <typename Op>
void measureMemory(benchmark::State& state, Op op) {
  gLive = 0;
  gPeak = 0;
  gCounting = true;
  op();
  gCounting = false;
  state.counters["peak_heap_MiB"] = static_cast<double>(gPeak.load()) / (1 << 20);
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["maxrss_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024;
}

void BM_OpenPngEntryOfSevenImageIcon(benchmark::State& state) {
  Fixture& f = fixture();
  auto open = [&] {
    script({{Action::Kind::Select, select_form::kImageList, f.largeIndex}});
    carried::Document doc;
    if (f.host.open(f.sevenIcon, doc) != 0 || doc.width != kSide) state.SkipWithError("open failed");
    benchmark::DoNotOptimize(doc.pixels.data());
  };
  for (auto _ : state) open();
  measureMemory(state, open);
}
BENCHMARK(BM_OpenPngEntryOfSevenImageIcon)->Unit(benchmark::kMillisecond);

// depth item: 3 is 8 bits, 5 is 32 bits. merge: save into a copy of the
// seven-image icon, replacing its 256 x 256 image.
void saveCase(benchmark::State& state, int depthItem, bool png, bool merge) {
  Fixture& f = fixture();
  const std::string target = f.folder + "/saved.ico";
  auto save = [&] {
    std::vector<Action> actions = {{Action::Kind::Select, options_form::kDepth, depthItem}};
    if (png) actions.push_back({Action::Kind::Check, options_form::kPngCompression, -1});
    script(std::move(actions));
    if (f.host.save(f.image, target, false) != 0) state.SkipWithError("save failed");
  };
  auto reset = [&] {
    std::error_code ignored;
    fs::remove(target, ignored);
    if (merge) fs::copy_file(f.sevenIcon, target, ignored);
  };
  for (auto _ : state) {
    state.PauseTiming();
    reset();
    state.ResumeTiming();
    save();
  }
  reset();
  measureMemory(state, save);
  state.counters["file_bytes"] = static_cast<double>(fs::file_size(target));
}

void BM_Save32BitPng(benchmark::State& state) { saveCase(state, 5, true, false); }
void BM_Save8Bit(benchmark::State& state) { saveCase(state, 3, false, false); }
void BM_SaveMergedIntoSevenImageIcon(benchmark::State& state) { saveCase(state, 5, true, true); }
BENCHMARK(BM_Save32BitPng)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Save8Bit)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveMergedIntoSevenImageIcon)->Unit(benchmark::kMillisecond);

// The floor of either path: the pixels encoded to PNG once and decoded once:
// level -1 is the kept encoding (libdeflate at level 6, what a save packs and
// what icohost writes), 0 and 1 zlib's levels through libpng, for comparison.
void BM_FloorPngEncodeDecode(benchmark::State& state) {
  const int level = static_cast<int>(state.range(0));
  PngImage png = carried::pngFromDocument(fixture().image);
  auto once = [&] {
    std::vector<std::uint8_t> bytes = png.Encode(level);
    PngImage back;
    back.LoadFromMemory(bytes);
    benchmark::DoNotOptimize(back.Row(0));
    return bytes.size();
  };
  for (auto _ : state) once();
  state.counters["png_bytes"] = static_cast<double>(once());
  measureMemory(state, once);
}
BENCHMARK(BM_FloorPngEncodeDecode)->Arg(-1)->Arg(0)->Arg(1)->ArgName("level")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace icofmt
