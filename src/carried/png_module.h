#pragma once
// The carried PNG format module: the steps behind ENTRYPOINT1. Each step
// works on the host's parameter block and returns the result for the host;
// they may throw, and png_module.cpp turns exceptions into result codes.
#include <cstdint>

#include "carried/png_document.h"
#include "sdk/format_record.h"

namespace icofmt::carried {

// What the module keeps between selectors of one load. Hosts call one
// selector at a time on one thread.
struct ModuleData {
  Document reading;
  int readNext = 0;
  Document writing;
  int writeNext = 0;
  int writeRows = 0;
  // The option of the "PNG Options" form, kept for the saves that follow.
  bool interlaced = false;
};
ModuleData& moduleData();

// Rows per block: about kBlockBytes, within the host's maxData when it gives
// one, at least one row.
constexpr std::int64_t kBlockBytes = 64 * 1024;
int rowsPerBlock(const sdk::FormatRecord& record, std::size_t rowBytes, int height);

sdk::OSErr readStart(sdk::FormatRecord& record);
sdk::OSErr readContinue(sdk::FormatRecord& record);
void readFinish(sdk::FormatRecord& record);

sdk::OSErr writeStart(sdk::FormatRecord& record);
sdk::OSErr writeContinue(sdk::FormatRecord& record);
void writeFinish(sdk::FormatRecord& record);

sdk::OSErr optionsStart(sdk::FormatRecord& record);
sdk::OSErr estimateStart(sdk::FormatRecord& record);

}  // namespace icofmt::carried
