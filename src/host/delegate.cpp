#include "host/delegate.h"

#include <algorithm>
#include <cstring>

#include "host/module_state.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/message_box.h"
#include "sdk/selectors.h"

namespace icofmt::host {

namespace {

void fail(const char* message) {
  moduleState().errorFlag = 1;
  platform::messageBox(message, "Error", platform::MessageButtons::Ok);
}

// A length-prefixed string of at most 255 characters; NUL-terminated when
// there is room, as hosts expect.
void writeName(sdk::FSSpec& spec, const std::string& text) {
  std::size_t n = std::min<std::size_t>(text.size(), 255);
  spec.name[0] = static_cast<unsigned char>(n);
  std::memcpy(spec.name + 1, text.data(), n);
  if (n < 255) spec.name[n + 1] = 0;
}

void callDelegate() {
  ModuleState& s = moduleState();
  if (s.delegateEntry != nullptr && s.errorFlag == 0)
    s.delegateEntry(s.selector, s.formatParamBlock, s.pluginData, &s.errorFlag);
}

void deleteIfExists(const std::string& path) {
  if (!path.empty() && platform::fileExists(path)) platform::deleteFile(path);
}

// Empty until the temporary folder is known, so that nothing is deleted
// relative to the host's current folder.
std::string tempFile(const char* name) {
  const std::string& folder = moduleState().tempFolder;
  return folder.empty() ? std::string() : folder + name;
}

void closeTempPng() {
  ModuleState& s = moduleState();
  if (s.tempPngHandle > 0) platform::closeFile(s.tempPngHandle);
  s.tempPngHandle = 0;
}

}  // namespace

std::string extractDelegate(platform::ModuleHandle resources) {
  ModuleState& s = moduleState();
  s.tempFolder = platform::tempFolder();
  std::string path = s.tempFolder + kDelegateFileName;
  // An existing file is used unchanged: another copy of the module may have
  // it loaded right now.
  if (!platform::fileExists(path)) {
    auto bytes = platform::findResource(resources, platform::kRcDataType, kDelegateResource);
    if (!bytes.empty()) platform::writeWholeFile(path, bytes);
  }
  // Without the resource or a writable folder there is nothing to load.
  return platform::fileExists(path) ? path : std::string();
}

void loadDelegate(platform::ModuleHandle resources) {
  ModuleState& s = moduleState();
  s.delegateLibrary = nullptr;
  s.delegateEntry = nullptr;
  std::string path = extractDelegate(resources);
  if (path.empty()) {
    fail(kNoDelegatePath);
    return;
  }
  s.delegateLibrary = platform::loadLibrary(path);
  if (s.delegateLibrary == nullptr) {
    fail(kDelegateNotLoaded);
    return;
  }
  s.delegateEntry =
      reinterpret_cast<sdk::PluginEntry>(platform::findExport(s.delegateLibrary, kDelegateEntry));
  if (s.delegateEntry == nullptr) fail(kDelegateNoEntry);
}

void forwardRead() {
  ModuleState& s = moduleState();
  sdk::FormatRecord* block = s.formatParamBlock;
  if (block == nullptr) return;
  // A host without an FSSpec gets no name swapped into it.
  if (block->fileSpec != nullptr) writeName(*block->fileSpec, s.tempPngPath);
  block->dataFork = s.tempPngHandle;
  callDelegate();
  if (block->fileSpec != nullptr) writeName(*block->fileSpec, s.hostFileName);
  block->dataFork = s.hostDataFork;
}

void forwardWrite() {
  ModuleState& s = moduleState();
  sdk::FormatRecord* block = s.formatParamBlock;
  bool swap = block != nullptr && s.selector >= sdk::formatSelectorWritePrepare &&
              s.selector <= sdk::formatSelectorWriteFinish;
  if (swap) {
    s.hostDataFork = block->dataFork;
    block->dataFork = s.tempPngHandle;
  }
  // Without a parameter block there is nothing the carried module could use.
  if (block != nullptr) callDelegate();
  if (swap) block->dataFork = s.hostDataFork;
}

void finishRead() {
  ModuleState& s = moduleState();
  s.cleanedUp = true;
  if (s.delegateLibrary != nullptr) platform::unloadLibrary(s.delegateLibrary);
  s.delegateLibrary = nullptr;
  s.delegateEntry = nullptr;
  deleteIfExists(tempFile(kDelegateFileName));
  closeTempPng();
  deleteIfExists(s.tempPngPath);
}

void finishWriteCleanup() {
  ModuleState& s = moduleState();
  s.cleanedUp = true;
  // The buffer still referenced by data belongs to the carried module, which
  // made it with its own allocator; only it may release it.
  if (s.formatParamBlock != nullptr) s.formatParamBlock->data = nullptr;
  closeTempPng();
  deleteIfExists(s.tempPngPath);
  deleteIfExists(tempFile("IcoTempSaveAs.ico"));
  deleteIfExists(tempFile("IcoTempSaveAs.txt"));
  if (s.delegateLibrary != nullptr) platform::unloadLibrary(s.delegateLibrary);
  s.delegateLibrary = nullptr;
  s.delegateEntry = nullptr;
  deleteIfExists(tempFile(kDelegateFileName));
  s.destinationCopy.reset();
  s.pngReadBack.reset();
  s.captureBuffer.reset();
  s.assemblyBuffer.reset();
}

}  // namespace icofmt::host
