#pragma once
// What the in-process fuzz targets share: a temporary folder of their own
// (TMPDIR), the carried stand-in as the program's RESDLL, and PluginMain
// called as a host calls it.
#include <cstdint>
#include <string>

#include "sdk/format_record.h"

namespace icofmt::fuzz {

// The folder every file of the run goes to, made once and set as TMPDIR.
const std::string& workFolder();

// Starts an operation on a fresh module state, as a host that keeps the
// module loaded does between operations; empties the scripted runtime.
void freshOperation();

// One selector through the dispatch; returns its result.
std::int16_t call(std::int16_t selector, sdk::FormatRecord* block);

// The FSSpec of a path (Pascal string, cut at 255 bytes).
sdk::FSSpec specOf(const std::string& path);

}  // namespace icofmt::fuzz
