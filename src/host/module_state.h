#pragma once
// The state of the operation in progress, in the parts it is made of. Hosts
// keep the module loaded between operations, so the state returns to these
// initial values at the end of every operation, and at the start of the next
// one when a host abandoned the last without a Finish (resetModuleState).
//
// Only the entry points know where the state lives: PluginMain's dispatch
// (dispatch.cpp) and the options hook, a callback of the system. Every step
// is handed the parts it works on.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "icon/typed_lists.h"
#include "platform/files.h"
#include "platform/modules.h"
#include "platform/windowing.h"
#include "save/capture.h"
#include "save/host_image.h"
#include "save/save_choices.h"
#include "sdk/format_record.h"

namespace icofmt::host {

using Buffer = std::optional<std::vector<std::uint8_t>>;

// The carried module of this operation: its file in the process folder and
// the library loaded from it.
struct CarriedModule {
  // The process folder, with its separator; every temporary file lives
  // there. Empty until the first selector of the operation has made it.
  std::string folder;
  std::string file;
  platform::ModuleHandle library = nullptr;
  sdk::PluginEntry entry = nullptr;
};

// The host's file and the temporary PNG the carried module reads or writes in
// its place: the name and handle are swapped around every call.
struct FileSwap {
  // On the read side the icon opened; on the write side the destination.
  std::string hostFileName;
  std::intptr_t hostDataFork = 0;
  std::string tempPngPath;
  platform::FileHandle tempPngHandle = platform::kInvalidFile;
};

struct ReadOperation {
  // ReadPrepare recorded the host's file fields; until then nothing may be
  // written into them.
  bool prepared = false;
  std::string iconPath;
  std::int32_t chosenIndex = 0;
};

struct SaveOperation {
  // The parked destination copy and its path, named when the save begins.
  std::string parkedCopyFile;
  std::string parkedNameFile;
  bool destinationCopyReused = false;
  // This save parked the destination (the FileSwap's hostFileName is its path).
  bool destinationParked = false;
  // A write selector failed: WriteFinish only gives the destination back.
  bool writeFailed = false;
  Buffer destinationCopy;
  Buffer pngReadBack;
  Buffer captureBuffer;
  Buffer assemblyBuffer;

  // Recorded at WritePrepare.
  std::int32_t imageWidth = 0;
  std::int32_t imageHeight = 0;
  std::uint8_t hostImageMode = 0;
  std::int32_t hostPlanes = 0;

  // The host's colour tables kept at WriteStart (Gray and Indexed), the depth
  // the options form proposes and the palette indices a Gray or Indexed
  // source uses, set when the source image is built.
  save::ColourTables savedTables;
  std::int32_t proposedDepth = 0;
  TListByte distinctIndices;
  // What the user chose in the options form; its smaller sizes outlive the
  // operation.
  save::SaveChoices saveChoices;

  save::HostImage recordedImage() const { return {hostImageMode, imageWidth, imageHeight, hostPlanes}; }
};

struct ModuleState {
  // The call in progress.
  std::int16_t selector = 0;
  sdk::FormatRecord* formatParamBlock = nullptr;
  std::intptr_t* pluginData = nullptr;
  std::int16_t errorFlag = 0;

  // The operation in progress.
  bool firstCall = true;
  // Its clean-up has run (finishRead or finishWriteCleanup).
  bool cleanedUp = false;
  // The last selector of this operation that succeeded (0: none yet); tells
  // a save that goes on from one that starts afresh.
  std::int16_t lastSucceeded = 0;
  platform::HookHandle hookHandle = nullptr;
  CarriedModule carried;
  FileSwap files;
  ReadOperation read;
  SaveOperation save;
};

ModuleState& moduleState();
void resetModuleState();

}  // namespace icofmt::host
