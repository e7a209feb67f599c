// ENTRYPOINT1 and the steps that move no pixels: options and estimate.
#include "carried/png_module.h"

#include <algorithm>
#include <limits>
#include <new>

#include "base/errors.h"
#include "platform/forms.h"
#include "sdk/selectors.h"

#if defined(_WIN32)
#define ICOFMT_EXPORT __declspec(dllexport)
#else
#define ICOFMT_EXPORT __attribute__((visibility("default")))
#endif

namespace icofmt::carried {

ModuleData& moduleData() {
  static ModuleData data;
  return data;
}

int rowsPerBlock(const sdk::FormatRecord& record, std::size_t rowBytes, int height) {
  std::int64_t budget = kBlockBytes;
  if (record.maxData > 0) budget = std::min<std::int64_t>(budget, record.maxData);
  std::int64_t rows = budget / static_cast<std::int64_t>(std::max<std::size_t>(rowBytes, 1));
  return static_cast<int>(std::clamp<std::int64_t>(rows, 1, std::max(height, 1)));
}

namespace {
platform::Control& addControl(platform::Form& form, platform::ControlKind kind, const char* name,
                              const char* caption, int left, int top, int width, int height) {
  return form.add(platform::makeControl(kind, name, caption, left, top, width, height));
}
}  // namespace

sdk::OSErr optionsStart(sdk::FormatRecord& record) {
  platform::Form form;
  form.caption = "PNG Options";
  form.width = 220;
  form.height = 110;
  using platform::ControlKind;
  using platform::ModalResult;
  addControl(form, ControlKind::CheckBox, "ChkInterlaced", "Interlaced", 12, 12, 180, 17).checked =
      moduleData().interlaced;
  addControl(form, ControlKind::Button, "B_Ok", "OK", 40, 44, 75, 25).modalResult = ModalResult::Ok;
  addControl(form, ControlKind::Button, "B_Cancel", "Cancel", 124, 44, 75, 25).modalResult =
      ModalResult::Cancel;

  record.data = nullptr;
  if (platform::showModal(form) != platform::ModalResult::Ok) return sdk::userCanceledErr;
  moduleData().interlaced = form.find("ChkInterlaced")->checked;
  return sdk::noErr;
}

sdk::OSErr estimateStart(sdk::FormatRecord& record) {
  const std::int64_t width = std::max<std::int16_t>(record.imageSize.h, 0);
  const std::int64_t height = std::max<std::int16_t>(record.imageSize.v, 0);
  const std::int64_t planes = std::clamp<std::int16_t>(record.planes, 1, 16);
  const std::int64_t row = record.imageMode == sdk::plugInModeBitmap ? (width + 7) / 8 : width * planes;
  const std::int64_t raw = (row + 1) * height;
  // Headers, a palette and its transparency chunk; deflate's stored blocks
  // add 5 bytes per 16 KiB at worst and shrink by at most about 1000:1.
  const std::int64_t most = raw + (raw / 16384 + 1) * 5 + 2048;
  const std::int64_t least = raw / 1000 + 67;
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  record.minDataBytes = static_cast<std::int32_t>(std::min(least, kMax));
  record.maxDataBytes = static_cast<std::int32_t>(std::min(most, kMax));
  record.data = nullptr;
  return sdk::noErr;
}

namespace {

bool readSide(std::int16_t selector) { return selector >= 1 && selector <= 4; }

sdk::OSErr dispatch(std::int16_t selector, sdk::FormatRecord& record) {
  ModuleData& m = moduleData();
  switch (selector) {
    case sdk::formatSelectorReadPrepare:
      m.reading = Document{};
      return sdk::noErr;
    case sdk::formatSelectorReadStart:
      return readStart(record);
    case sdk::formatSelectorReadContinue:
      return readContinue(record);
    case sdk::formatSelectorReadFinish:
      readFinish(record);
      return sdk::noErr;
    case sdk::formatSelectorOptionsStart:
      return optionsStart(record);
    case sdk::formatSelectorEstimateStart:
      return estimateStart(record);
    case sdk::formatSelectorWritePrepare:
      m.writing = Document{};
      return sdk::noErr;
    case sdk::formatSelectorWriteStart:
      return writeStart(record);
    case sdk::formatSelectorWriteContinue:
      return writeContinue(record);
    case sdk::formatSelectorWriteFinish:
      writeFinish(record);
      return sdk::noErr;
    default:
      return sdk::noErr;
  }
}

}  // namespace

}  // namespace icofmt::carried

// The firewall: nothing thrown inside reaches the host.
extern "C" ICOFMT_EXPORT void ENTRYPOINT1(std::int16_t selector, icofmt::sdk::FormatRecord* record,
                                          std::intptr_t*, std::int16_t* result) {
  using namespace icofmt;
  if (result == nullptr) return;
  if (record == nullptr) {
    *result = selector >= 1 && selector <= 16 ? sdk::paramErr : sdk::noErr;
    return;
  }
  try {
    *result = carried::dispatch(selector, *record);
  } catch (const InvalidImage&) {
    *result = carried::readSide(selector) ? sdk::formatCannotRead : sdk::formatBadParameters;
  } catch (const std::bad_alloc&) {
    *result = sdk::memFullErr;
  } catch (...) {
    *result = carried::readSide(selector) ? sdk::readErr : sdk::writErr;
  }
  if (*result != sdk::noErr) {
    // A failed step leaves no block for the host to move.
    if (selector == sdk::formatSelectorReadStart || selector == sdk::formatSelectorReadContinue ||
        selector == sdk::formatSelectorWriteStart || selector == sdk::formatSelectorWriteContinue)
      record->data = nullptr;
  }
}
