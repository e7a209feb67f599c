#include "host/delegate.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

#include "host/module_state.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/message_box.h"
#include "sdk/selectors.h"

namespace icofmt::host {

namespace {

// Releasing runs every step even when one fails (memory exhausted while a
// path is built): a step left out would leave a library loaded or a file
// behind for good.
template <typename Step>
void bestEffort(Step step) noexcept {
  try {
    step();
  } catch (...) {
  }
}

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

}  // namespace

void nameParkedFiles() {
  ModuleState& s = moduleState();
  s.parkedCopyFile = tempFile("IcoTempSaveAs.ico");
  s.parkedNameFile = tempFile("IcoTempSaveAs.txt");
}

namespace {

void closeTempPng() {
  ModuleState& s = moduleState();
  if (s.tempPngHandle != platform::kInvalidFile) platform::closeFile(s.tempPngHandle);
  s.tempPngHandle = platform::kInvalidFile;
}

void unloadAndDeleteDelegate() {
  ModuleState& s = moduleState();
  if (s.delegateLibrary != nullptr) bestEffort([&] { platform::unloadLibrary(s.delegateLibrary); });
  s.delegateLibrary = nullptr;
  s.delegateEntry = nullptr;
  if (!s.delegateFile.empty()) bestEffort([&] { deleteIfExists(s.delegateFile); });
  s.delegateFile.clear();
  // Cut in place, allocating nothing; a parked destination keeps the folder
  // for the next step of its save.
  platform::removeProcessFolder(s.tempFolder);
  s.tempFolder.clear();
}

}  // namespace

std::string extractDelegate(platform::ModuleHandle resources) {
  ModuleState& s = moduleState();
  // Every temporary file lives in this process's own folder: other processes
  // and other users can neither read them nor plant files in their place.
  s.tempFolder = platform::processFolder(platform::tempFolder());
  // Recorded at once, so the clean-up finds the folder whatever fails next.
  if (!s.tempFolder.empty()) s.delegateFile = s.tempFolder + kDelegateFileName;
  const std::string& path = s.delegateFile;
  auto bytes = platform::findResource(resources, platform::kRcDataType, kDelegateResource);
  if (path.empty() || bytes.empty()) return {};
  // Only bytes we carry are ever loaded: a file of that name left by an
  // earlier operation is used when it is ours, and replaced otherwise.
  if (platform::fileExists(path)) {
    auto existing = platform::readWholeFile(path);
    if (existing && std::equal(existing->begin(), existing->end(), bytes.begin(), bytes.end())) return path;
  }
  // Written aside and renamed into place: an instance of the carried module
  // may still have the file of that name loaded, and rewriting it in place
  // would change the code under it. A rename leaves it its own copy.
  std::string aside;
  try {
    std::random_device entropy;
    aside = path + "." + std::to_string(entropy()) + ".part";
    std::error_code error;
    if (platform::writePrivateFile(aside, bytes) && (std::filesystem::rename(aside, path, error), !error))
      return path;
  } catch (...) {
    // Nothing of ours may stay behind when we run out of memory half-way.
    if (!aside.empty()) bestEffort([&] { deleteIfExists(aside); });
    throw;
  }
  // A half-written file must not be taken for ours by the next operation.
  deleteIfExists(aside);
  return {};
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
  // The slot the host keeps for us may still hold what an earlier instance
  // of the carried module left there: memory of a library now unloaded.
  if (s.pluginData != nullptr) *s.pluginData = 0;
  s.delegateEntry =
      reinterpret_cast<sdk::PluginEntry>(platform::findExport(s.delegateLibrary, kDelegateEntry));
  if (s.delegateEntry == nullptr) fail(kDelegateNoEntry);
}

void forwardRead() {
  ModuleState& s = moduleState();
  sdk::FormatRecord* block = s.formatParamBlock;
  if (block == nullptr) return;
  // Until ReadPrepare of this operation has recorded the host's own name and
  // handle there is nothing to put back, so the host's fields stay untouched.
  if (!s.readPrepared) {
    if (s.errorFlag == 0) s.errorFlag = 1;
    return;
  }
  // A host without an FSSpec gets no name swapped into it.
  if (block->fileSpec != nullptr) writeName(*block->fileSpec, s.tempPngPath);
  block->dataFork = s.tempPngHandle;
  // Without the temporary PNG the carried module would read whatever file
  // the invalid handle happens to name.
  if (s.tempPngHandle == platform::kInvalidFile && s.errorFlag == 0) s.errorFlag = 1;
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
    // The carried module must never write PNG bytes into a handle that is
    // not our temporary file.
    if (s.tempPngHandle == platform::kInvalidFile && s.errorFlag == 0) s.errorFlag = 1;
  }
  // Without a parameter block there is nothing the carried module could use.
  if (block != nullptr) callDelegate();
  if (swap) block->dataFork = s.hostDataFork;
}

void finishRead() {
  ModuleState& s = moduleState();
  s.cleanedUp = true;
  closeTempPng();
  bestEffort([&] { deleteIfExists(s.tempPngPath); });
  // Last, as it removes the folder once nothing is left in it.
  unloadAndDeleteDelegate();
}

void finishWriteCleanup() {
  ModuleState& s = moduleState();
  // The buffer still referenced by data belongs to the carried module, which
  // made it with its own allocator; only it may release it.
  if (s.formatParamBlock != nullptr) s.formatParamBlock->data = nullptr;
  releaseOperation();
}

void releaseOperation() {
  ModuleState& s = moduleState();
  s.cleanedUp = true;
  closeTempPng();
  bestEffort([&] { deleteIfExists(s.tempPngPath); });
  // The parked destination belongs to a save; a read never made it.
  if (s.destinationCopy) {
    bestEffort([&] { deleteIfExists(s.parkedCopyFile); });
    bestEffort([&] { deleteIfExists(s.parkedNameFile); });
  }
  unloadAndDeleteDelegate();
  s.destinationCopy.reset();
  s.pngReadBack.reset();
  s.captureBuffer.reset();
  s.assemblyBuffer.reset();
}

}  // namespace icofmt::host
