#include "module_driver.h"

#include <stdlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "host/carried_module.h"
#include "host/dispatch.h"
#include "host/module_state.h"
#include "platform/modules.h"
#include "platform/scripted.h"

namespace icofmt::fuzz {

namespace {

const std::vector<std::uint8_t>& carriedBytes() {
  static const std::vector<std::uint8_t> bytes = [] {
    std::ifstream in(ICOFMT_FUZZ_CARRIED, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }();
  return bytes;
}

std::intptr_t dataSlot = 0;

}  // namespace

const std::string& workFolder() {
  static const std::string folder = [] {
    char pattern[] = "/tmp/icofmt-fuzz-XXXXXX";
    if (mkdtemp(pattern) == nullptr) std::abort();
    std::string made = std::string(pattern) + "/";
    setenv("TMPDIR", made.c_str(), 1);
    return made;
  }();
  // Registered once the folder's name exists, so it runs before that name is
  // destroyed at exit.
  static const bool removedAtExit = std::atexit([] { std::filesystem::remove_all(workFolder()); }) == 0;
  (void)removedAtExit;
  return folder;
}

void freshOperation() {
  workFolder();
  host::releaseOperation(host::moduleState());
  host::resetModuleState();
  platform::scripted::reset();
  dataSlot = 0;
}

std::int16_t call(std::int16_t selector, sdk::FormatRecord* block) {
  std::int16_t result = 0;
  const std::int16_t returned = host::pluginMain(selector, block, &dataSlot, &result);
  if (returned != result) __builtin_trap();
  return result;
}

sdk::FSSpec specOf(const std::string& path) {
  sdk::FSSpec spec{};
  const std::size_t n = std::min<std::size_t>(path.size(), 255);
  spec.name[0] = static_cast<unsigned char>(n);
  std::memcpy(spec.name + 1, path.data(), n);
  return spec;
}

}  // namespace icofmt::fuzz

extern "C" {
__attribute__((visibility("default"))) icofmt::platform::ResourceEntry icofmt_resources[] = {
    {icofmt::platform::kRcDataType, nullptr, 0, "RESDLL", icofmt::fuzz::carriedBytes().data(),
     icofmt::fuzz::carriedBytes().size()},
    {0, nullptr, 0, nullptr, nullptr, 0},
};
}
