#include "host/carried_module.h"

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

void fail(const char* message) { platform::messageBox(message, "Error", platform::MessageButtons::Ok); }

// A length-prefixed string of at most 255 characters; NUL-terminated when
// there is room, as hosts expect.
void writeName(sdk::FSSpec& spec, const std::string& text) {
  std::size_t n = std::min<std::size_t>(text.size(), 255);
  spec.name[0] = static_cast<unsigned char>(n);
  std::memcpy(spec.name + 1, text.data(), n);
  if (n < 255) spec.name[n + 1] = 0;
}

void callCarriedModule(const CarriedModule& carried, const HostCall& call, std::int16_t& result) {
  if (carried.entry != nullptr && result == 0) carried.entry(call.selector, call.block, call.data, &result);
}

void deleteIfExists(const std::string& path) {
  if (!path.empty() && platform::fileExists(path)) platform::deleteFile(path);
}

// Empty until the process folder is known, so that nothing is deleted
// relative to the host's current folder.
std::string tempFile(const std::string& folder, const char* name) {
  return folder.empty() ? std::string() : folder + name;
}

}  // namespace

void nameParkedFiles(SaveOperation& save, const std::string& folder) {
  save.parkedCopyFile = tempFile(folder, "IcoTempSaveAs.ico");
  save.parkedNameFile = tempFile(folder, "IcoTempSaveAs.txt");
}

namespace {

void closeTempPng(FileSwap& files) {
  if (files.tempPngHandle != platform::kInvalidFile) platform::closeFile(files.tempPngHandle);
  files.tempPngHandle = platform::kInvalidFile;
}

void unloadCarriedModule(CarriedModule& carried) {
  if (carried.library != nullptr) bestEffort([&] { platform::unloadLibrary(carried.library); });
  carried.library = nullptr;
  carried.entry = nullptr;
  if (!carried.file.empty()) bestEffort([&] { deleteIfExists(carried.file); });
  carried.file.clear();
  // Cut in place, allocating nothing; a parked destination keeps the folder
  // for the next step of its save.
  platform::removeProcessFolder(carried.folder);
  carried.folder.clear();
}

}  // namespace

std::string writeCarriedModule(CarriedModule& carried, platform::ModuleHandle resources) {
  // Every temporary file lives in this process's own folder: other processes
  // and other users can neither read them nor plant files in their place.
  carried.folder = platform::processFolder(platform::tempFolder());
  // Recorded at once, so the clean-up finds the folder whatever fails next.
  if (!carried.folder.empty()) carried.file = carried.folder + kCarriedFileName;
  const std::string& path = carried.file;
  auto bytes = platform::findResource(resources, platform::kRcDataType, kCarriedResource);
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

bool loadCarriedModule(CarriedModule& carried, platform::ModuleHandle resources, std::intptr_t* data) {
  carried.library = nullptr;
  carried.entry = nullptr;
  std::string path = writeCarriedModule(carried, resources);
  if (path.empty()) {
    fail(kNoCarriedPath);
    return false;
  }
  carried.library = platform::loadLibrary(path);
  if (carried.library == nullptr) {
    fail(kCarriedNotLoaded);
    return false;
  }
  // The slot the host keeps for us may still hold what an earlier instance
  // of the carried module left there: memory of a library now unloaded.
  if (data != nullptr) *data = 0;
  carried.entry = reinterpret_cast<sdk::PluginEntry>(platform::findExport(carried.library, kCarriedEntry));
  if (carried.entry == nullptr) {
    fail(kCarriedNoEntry);
    return false;
  }
  return true;
}

void forwardRead(const CarriedModule& carried, const ReadOperation& read, const FileSwap& files,
                 const HostCall& call, std::int16_t& result) {
  sdk::FormatRecord* block = call.block;
  if (block == nullptr) return;
  // Until ReadPrepare of this operation has recorded the host's own name and
  // handle there is nothing to put back, so the host's fields stay untouched.
  if (!read.prepared) {
    if (result == 0) result = 1;
    return;
  }
  // A host without an FSSpec gets no name swapped into it.
  if (block->fileSpec != nullptr) writeName(*block->fileSpec, files.tempPngPath);
  block->dataFork = files.tempPngHandle;
  // Without the temporary PNG the carried module would read whatever file
  // the invalid handle happens to name.
  if (files.tempPngHandle == platform::kInvalidFile && result == 0) result = 1;
  callCarriedModule(carried, call, result);
  if (block->fileSpec != nullptr) writeName(*block->fileSpec, files.hostFileName);
  block->dataFork = files.hostDataFork;
}

void forwardWrite(const CarriedModule& carried, FileSwap& files, const HostCall& call, std::int16_t& result) {
  sdk::FormatRecord* block = call.block;
  bool swap = block != nullptr && call.selector >= sdk::formatSelectorWritePrepare &&
              call.selector <= sdk::formatSelectorWriteFinish;
  if (swap) {
    files.hostDataFork = block->dataFork;
    block->dataFork = files.tempPngHandle;
    // The carried module must never write PNG bytes into a handle that is
    // not our temporary file.
    if (files.tempPngHandle == platform::kInvalidFile && result == 0) result = 1;
  }
  // Without a parameter block there is nothing the carried module could use.
  if (block != nullptr) callCarriedModule(carried, call, result);
  if (swap) block->dataFork = files.hostDataFork;
}

void finishRead(ModuleState& s) {
  s.cleanedUp = true;
  closeTempPng(s.files);
  bestEffort([&] { deleteIfExists(s.files.tempPngPath); });
  // Last, as it removes the folder once nothing is left in it.
  unloadCarriedModule(s.carried);
}

void finishWriteCleanup(ModuleState& s) {
  // The buffer still referenced by data belongs to the carried module, which
  // made it with its own allocator; only it may release it.
  if (s.formatParamBlock != nullptr) s.formatParamBlock->data = nullptr;
  releaseOperation(s);
}

void releaseOperation(ModuleState& s) {
  s.cleanedUp = true;
  closeTempPng(s.files);
  bestEffort([&] { deleteIfExists(s.files.tempPngPath); });
  SaveOperation& save = s.save;
  // The parked destination belongs to a save; a read never made it.
  if (save.destinationCopy) {
    bestEffort([&] { deleteIfExists(save.parkedCopyFile); });
    bestEffort([&] { deleteIfExists(save.parkedNameFile); });
  }
  unloadCarriedModule(s.carried);
  save.destinationCopy.reset();
  save.pngReadBack.reset();
  save.captureBuffer.reset();
  save.assemblyBuffer.reset();
}

}  // namespace icofmt::host
