// The per-selector work of opening and saving: the host's fields taken from
// the parameter block at this edge, the work itself done by open/ and save/
// on plain values.
#include "host/steps.h"

#include "host/module_state.h"
#include "open/prepare_open.h"
#include "platform/files.h"

namespace icofmt::host {

void prepareRead() {
  ModuleState& s = moduleState();
  const sdk::FormatRecord* block = s.formatParamBlock;
  // Without a parameter block there is no file to open.
  if (block == nullptr) {
    s.errorFlag = 1;
    return;
  }
  if (block->fileSpec != nullptr) {
    const unsigned char* name = block->fileSpec->name;
    s.hostFileName.assign(reinterpret_cast<const char*>(name + 1), name[0]);
  } else {
    s.hostFileName.clear();
  }
  s.iconPath = s.hostFileName;
  s.hostDataFork = block->dataFork;

  open::PreparedOpen prepared = open::prepareOpen(s.iconPath, s.tempFolder, s.chosenIndex);
  s.tempPngPath = prepared.tempPngPath;
  s.chosenIndex = prepared.chosenIndex;
  // Cancelled and failed alike end the operation silently.
  if (!prepared.ok()) {
    s.errorFlag = 1;
    return;
  }
  s.tempPngHandle =
      platform::openFile(s.tempPngPath, platform::FileAccess::Read, platform::FileShare::ReadWrite);
  if (s.tempPngHandle == platform::kInvalidFile) s.errorFlag = 1;
}

void saveDestinationCopy() {}
void reuseDestinationCopy() {}
void lookUpDestinationTitle() {}
void captureWriteFields() {}
void captureLookupTables() {}
void capturePixels() {}
void assembleDestination() {}

}  // namespace icofmt::host
