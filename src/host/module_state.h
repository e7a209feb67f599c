#pragma once
// The module-wide state of one open or save operation. Hosts keep the module
// loaded between operations, so the state returns to these initial values at
// the end of every operation, and at the start of the next one when a host
// abandoned the last without a Finish (resetModuleState).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "icon/typed_lists.h"
#include "platform/files.h"
#include "platform/modules.h"
#include "platform/windowing.h"
#include "save/capture.h"
#include "save/save_choices.h"
#include "sdk/format_record.h"

namespace icofmt::host {

using Buffer = std::optional<std::vector<std::uint8_t>>;

struct ModuleState {
  std::int16_t selector = 0;
  sdk::FormatRecord* formatParamBlock = nullptr;
  std::intptr_t* pluginData = nullptr;
  std::int16_t errorFlag = 0;
  bool firstCall = true;
  platform::ModuleHandle delegateLibrary = nullptr;
  sdk::PluginEntry delegateEntry = nullptr;
  std::string tempFolder;
  // The carried module's file, once written (in a private folder on POSIX).
  std::string delegateFile;
  // The parked destination copy and its name (save only; empty until known).
  std::string parkedCopyFile;
  std::string parkedNameFile;
  std::string tempPngPath;
  platform::FileHandle tempPngHandle = platform::kInvalidFile;
  std::string hostFileName;
  std::intptr_t hostDataFork = 0;
  std::string iconPath;
  std::int32_t chosenIndex = 0;
  bool destinationCopyReused = false;
  // This operation parked the destination (hostFileName is its path).
  bool destinationParked = false;
  // A write selector of this save failed: its Finish only gives the
  // destination back.
  bool writeFailed = false;
  Buffer destinationCopy;
  Buffer pngReadBack;
  Buffer captureBuffer;
  Buffer assemblyBuffer;
  platform::HookHandle hookHandle = nullptr;
  // The operation's clean-up has run (finishRead or finishWriteCleanup).
  bool cleanedUp = false;
  // ReadPrepare of this operation recorded the host's file fields; until then
  // nothing may be written into them.
  bool readPrepared = false;
  // The last selector of this operation that succeeded (0: none yet); tells
  // a save that goes on from one that starts afresh.
  std::int16_t lastSucceeded = 0;

  // Recorded at WritePrepare.
  std::int32_t imageWidth = 0;
  std::int32_t imageHeight = 0;
  std::uint8_t hostImageMode = 0;
  std::int32_t hostPlanes = 0;

  // Saving: the host's colour tables kept at WriteStart (Gray and Indexed),
  // the depth the options form proposes and the palette indices a Gray or
  // Indexed source uses, set when the source image is built.
  save::ColourTables savedTables;
  std::int32_t proposedDepth = 0;
  TListByte distinctIndices;
  // What the user chose in the options form; resetModuleState keeps its
  // smaller sizes.
  save::SaveChoices saveChoices;
};

ModuleState& moduleState();
void resetModuleState();

}  // namespace icofmt::host
