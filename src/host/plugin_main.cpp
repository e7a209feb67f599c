// The module's only export, undecorated with the C calling convention.
#include <cstdint>

#include "host/dispatch.h"
#include "host/icon_handles.h"
#include "sdk/format_record.h"

#if defined(_WIN32)
#define ICOFMT_EXPORT __declspec(dllexport)
#else
#define ICOFMT_EXPORT __attribute__((visibility("default")))
#endif

namespace {
// At load, as the system's own icons become the images' handles.
const bool iconHandlesRegistered = (icofmt::host::registerPlatformIconHandles(), true);
}  // namespace

extern "C" ICOFMT_EXPORT void PluginMain(std::int16_t selector, icofmt::sdk::FormatRecord* formatParamBlock,
                                         std::intptr_t* data, std::int16_t* result) {
  icofmt::host::pluginMain(selector, formatParamBlock, data, result);
}
