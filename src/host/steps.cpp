// The per-selector work of opening and saving. Only the recording of the
// host's file fields at ReadPrepare exists so far; it is what the forwarding
// restores after every read-side call.
#include "host/steps.h"

#include "host/module_state.h"

namespace icofmt::host {

void prepareRead() {
  ModuleState& s = moduleState();
  const sdk::FormatRecord* block = s.formatParamBlock;
  if (block == nullptr) return;
  if (block->fileSpec != nullptr) {
    const unsigned char* name = block->fileSpec->name;
    s.hostFileName.assign(reinterpret_cast<const char*>(name + 1), name[0]);
  } else {
    s.hostFileName.clear();
  }
  s.iconPath = s.hostFileName;
  s.hostDataFork = block->dataFork;
}

void saveDestinationCopy() {}
void reuseDestinationCopy() {}
void lookUpDestinationTitle() {}
void captureWriteFields() {}
void captureLookupTables() {}
void capturePixels() {}
void assembleDestination() {}

}  // namespace icofmt::host
