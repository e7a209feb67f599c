// The largest cases of the malformed-icon corpus (tests/malformed), each
// through what the module does with an icon: reading it (list), the open
// step (selection form, export of the chosen image as PNG) and a merge of a
// small image into it (the options form and AddBitmapToIconStream). Each
// iteration runs in a child process, so peak_rss_MiB is that case's own peak
// memory; the time includes a fork of a few hundred microseconds.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "icon/advanced_icon.h"
#include "open/prepare_open.h"
#include "pixels/bitmap.h"
#include "platform/files.h"
#include "platform/scripted.h"
#include "save/assembly.h"
#include "save/options_form.h"

namespace icofmt {
namespace {

const char* const kCases[] = {"many_png_256",    "many_png_256_noisy",   "many_png_1024_noisy",
                              "many_bmp_480",    "many_tiny_bitmaps",    "many_valid_entries",
                              "png_real_1024",   "bmp_real_512",         "png_bomb_5000",
                              "png_text_chunks", "png_chunk_length_huge"};

const std::string& corpusFolder() {
  static const std::string folder = [] {
    char pattern[] = "/tmp/icofmt-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) std::abort();
    std::string made = std::string(pattern) + "/";
    const std::string command =
        "/usr/bin/python3 " ICOFMT_SOURCE_DIR "/tests/malformed/make_corpus.py " + made;
    if (std::system(command.c_str()) != 0) std::abort();
    setenv("TMPDIR", made.c_str(), 1);
    return made;
  }();
  // Registered after the name exists, so it runs before the name is destroyed.
  static const bool removedAtExit = std::atexit([] { std::filesystem::remove_all(corpusFolder()); }) == 0;
  (void)removedAtExit;
  return folder;
}

void readIcon(const std::string& path) {
  TAdvancedIcon icon;
  icon.LoadFromFile(path);
  for (uint32_t i = 0; i < icon.Images().Count(); ++i)
    benchmark::DoNotOptimize(icon.Images().Items(i)->Description());
}

void openIcon(const std::string& path) {
  platform::scripted::setConfirmUnscripted(true);
  open::prepareOpen(path, corpusFolder() + "out/", 0);
}

void mergeInto(const std::string& path) {
  auto bytes = platform::readWholeFile(path).value_or(std::vector<uint8_t>{});
  platform::scripted::setConfirmUnscripted(true);
  std::vector<uint8_t> assembly;
  std::int32_t depth = 32;
  save::SaveChoices choices;
  save::ShowOptions({path, 24, 24, 3}, depth, bytes, assembly, choices);
  TBitmap image, mask;
  image.SetPixelFormat(PixelFormat::Bits32);
  image.SetSize(24, 24);
  mask.SetPixelFormat(PixelFormat::Bits1);
  mask.SetSize(24, 24);
  save::AddBitmapToIconStream(&image, &mask, &bytes, 32, false, save::kMergeAdd);
}

template <void (*Operation)(const std::string&)>
void BM_Case(benchmark::State& state, const char* name) {
  const std::string path = corpusFolder() + name + ".ico";
  std::filesystem::create_directories(corpusFolder() + "out/");
  long peakKb = 0;
  for (auto _ : state) {
    const pid_t child = fork();
    if (child == 0) {
      Operation(path);
      _exit(0);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
      state.SkipWithError("the case failed");
      break;
    }
    peakKb = std::max(peakKb, usage.ru_maxrss);
  }
  state.counters["peak_rss_MiB"] = static_cast<double>(peakKb) / 1024.0;
  state.counters["file_KiB"] = static_cast<double>(std::filesystem::file_size(path)) / 1024.0;
}

int registerAll() {
  for (const char* name : kCases) {
    benchmark::RegisterBenchmark((std::string("Read/") + name).c_str(), BM_Case<readIcon>, name)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark((std::string("Open/") + name).c_str(), BM_Case<openIcon>, name)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark((std::string("Merge/") + name).c_str(), BM_Case<mergeInto>, name)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
  }
  return 0;
}
const int registered = registerAll();

}  // namespace
}  // namespace icofmt
