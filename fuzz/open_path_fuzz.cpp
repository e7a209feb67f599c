// The open path through PluginMain: the bytes are the icon a host opens,
// driven from ReadPrepare to ReadFinish once for each of its first images,
// the selection form answered with that image.
#include <algorithm>
#include <cstdint>
#include <exception>
#include <span>

#include "icon/advanced_icon.h"
#include "module_driver.h"
#include "open/form_select.h"
#include "platform/files.h"
#include "platform/scripted.h"
#include "sdk/selectors.h"

namespace {

using namespace icofmt;
using platform::scripted::UserAction;
namespace controls = open::select_controls;

constexpr std::uint32_t kPicksMax = 3;

void openPicking(const std::string& path, int pick) {
  fuzz::freshOperation();
  platform::scripted::setUserActions(
      {{UserAction::Kind::Select, controls::kImageList, pick}, {UserAction::Kind::Click, controls::kOk, -1}});
  sdk::FSSpec spec = fuzz::specOf(path);
  sdk::FormatRecord block{};
  block.fileSpec = &spec;
  block.dataFork = 4242;
  if (fuzz::call(sdk::formatSelectorReadPrepare, &block) != 0) return;
  if (fuzz::call(sdk::formatSelectorReadStart, &block) != 0) return;
  fuzz::call(sdk::formatSelectorReadContinue, &block);
  fuzz::call(sdk::formatSelectorReadFinish, &block);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz::workFolder() + "fuzzed.ico";
  if (!platform::writeWholeFile(path, std::span<const std::uint8_t>(data, size))) return 0;
  std::uint32_t images = 1;
  try {
    TAdvancedIcon icon;
    if (icon.LoadFromFile(path)) images = icon.Images().Count();
  } catch (const std::exception&) {
  }
  for (std::uint32_t pick = 0; pick < std::min(images, kPicksMax); ++pick)
    openPicking(path, static_cast<int>(pick));
  fuzz::freshOperation();
  return 0;
}
