#pragma once
// Selector dispatch. pluginMain is what the exported PluginMain runs; it
// alone takes the module state and hands it to the dispatchers.
#include <cstdint>

#include "host/module_state.h"
#include "sdk/format_record.h"

namespace icofmt::host {

// Never throws; returns the result it also writes through result.
std::int16_t pluginMain(std::int16_t selector, sdk::FormatRecord* formatParamBlock, std::intptr_t* data,
                        std::int16_t* result);

// The order of the steps of every selector: opening and saving.
void readDispatch(ModuleState& s);
void writeDispatch(ModuleState& s);

// Whether an error at this selector ends the operation: the host then sends
// no Finish selector, so the module has to clean up itself.
bool errorEndsOperation(std::int16_t selector);

}  // namespace icofmt::host
