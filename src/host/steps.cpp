// The per-selector work of opening and saving: the host's fields taken from
// the parameter block at this edge, the work itself done by open/ and save/
// on plain values; neither ever sees the host's record.
#include "host/steps.h"

#include "base/limits.h"
#include "host/carried_module.h"
#include "host/module_state.h"
#include "open/prepare_open.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "save/assembly.h"
#include "save/capture.h"
#include "save/destination.h"
#include "save/host_image.h"
#include "save/options_form.h"
#include "save/source_image.h"
#include "sdk/selectors.h"

namespace icofmt::host {

namespace {

// The path the host's FSSpec holds; empty when there is none.
std::string fileSpecName(const sdk::FormatRecord* block) {
  if (block == nullptr || block->fileSpec == nullptr) return {};
  const unsigned char* name = block->fileSpec->name;
  return std::string(reinterpret_cast<const char*>(name + 1), name[0]);
}

std::vector<std::uint8_t>& destinationCopy(SaveOperation& save) {
  if (!save.destinationCopy) save.destinationCopy.emplace();
  return *save.destinationCopy;
}

// The document's title, read within the handle's size and the handle then
// disposed of, as a complex property asks. nullopt when the host refuses it
// or hands back nothing that can be read. A host without the property suite
// has no title to give: like a title naming no file, the save makes a new
// icon.
std::optional<std::string> documentTitle(const sdk::FormatRecord& block) {
  const sdk::PropertyProcs* properties = block.propertyProcs;
  if (properties == nullptr || properties->numPropertyProcs < 1 || properties->getPropertyProc == nullptr)
    return std::string();
  std::intptr_t simple = 0;
  sdk::Handle handle = nullptr;
  if (properties->getPropertyProc(sdk::kPhotoshopSignature, sdk::propTitle, 0, &simple, &handle) !=
      sdk::noErr)
    return std::nullopt;
  const sdk::HandleProcs* procs = block.handleProcs;
  if (handle == nullptr || procs == nullptr) return std::nullopt;
  std::optional<std::string> title;
  if (procs->numHandleProcs >= 6 && procs->getSizeProc != nullptr && procs->lockProc != nullptr &&
      procs->unlockProc != nullptr) {
    const std::int32_t size = procs->getSizeProc(handle);
    if (size >= 0 && static_cast<std::uint64_t>(size) <= limits::kTitleMax) {
      const char* text = procs->lockProc(handle, 0);
      title = save::titleFromHandleBytes(text, static_cast<std::size_t>(size));
      procs->unlockProc(handle);
    }
  }
  if (procs->numHandleProcs >= 2 && procs->disposeProc != nullptr) procs->disposeProc(handle);
  return title;
}

// The hot spot a host gives through the module's own property; none from a
// host that does not know it.
std::optional<THotSpot> hostHotSpot(const sdk::FormatRecord* block) {
  const sdk::PropertyProcs* properties = block != nullptr ? block->propertyProcs : nullptr;
  if (properties == nullptr || properties->numPropertyProcs < 1 || properties->getPropertyProc == nullptr)
    return std::nullopt;
  std::intptr_t simple = 0;
  sdk::Handle handle = nullptr;
  const sdk::OSErr result =
      properties->getPropertyProc(sdk::kIcofmtSignature, sdk::propCursorHotSpot, 0, &simple, &handle);
  // A simple property comes back in the value; a handle is none of ours to keep.
  const sdk::HandleProcs* procs = block->handleProcs;
  if (handle != nullptr && procs != nullptr && procs->numHandleProcs >= 2 && procs->disposeProc != nullptr)
    procs->disposeProc(handle);
  if (result != sdk::noErr) return std::nullopt;
  const auto value = static_cast<std::uint32_t>(simple);
  return THotSpot{static_cast<std::uint16_t>(value >> 16), static_cast<std::uint16_t>(value & 0xFFFF)};
}

// A cursor is known by its destination's header, or by the name of a new
// file; the host is asked for a hot spot only then.
save::CursorHints cursorHints(const std::string& destinationPath,
                              const std::vector<std::uint8_t>& destination, const sdk::FormatRecord* block) {
  save::CursorHints hints;
  hints.newFileIsCursor = save::namesCursor(destinationPath);
  if (hints.newFileIsCursor || save::isCursorFile(destination)) hints.hotSpot = hostHotSpot(block);
  return hints;
}

}  // namespace

bool prepareRead(ReadOperation& read, FileSwap& files, const std::string& folder,
                 const sdk::FormatRecord& block) {
  files.hostFileName = fileSpecName(&block);
  read.iconPath = files.hostFileName;
  files.hostDataFork = block.dataFork;

  open::PreparedOpen prepared = open::prepareOpen(read.iconPath, folder, read.chosenIndex);
  files.tempPngPath = prepared.tempPngPath;
  read.chosenIndex = prepared.chosenIndex;
  // Cancelled and failed alike end the operation silently.
  if (!prepared.ok()) return false;
  files.tempPngHandle = platform::openPrivateFile(files.tempPngPath, platform::FileAccess::Read);
  return files.tempPngHandle != platform::kInvalidFile;
}

namespace {

bool parkDestination(SaveOperation& save, FileSwap& files, const std::string& folder,
                     const std::string& destination) {
  files.hostFileName = destination;
  switch (save::parkDestinationCopy(folder, files.hostFileName, destinationCopy(save))) {
    case save::ParkOutcome::Parked:
      save.destinationParked = true;
      return true;
    case save::ParkOutcome::DestinationUnreadable:
      return false;
    case save::ParkOutcome::CopyNotCreated:
      platform::messageBox(kCannotCreateTemporary + save::parkedCopyPath(folder), "Error",
                           platform::MessageButtons::Ok);
      return false;
    case save::ParkOutcome::NameNotCreated:
      platform::messageBox(kCannotCreateTemporary + save::parkedNamePath(folder), "Error",
                           platform::MessageButtons::Ok);
      return false;
  }
  return false;
}

// Where this save writes when the host gives no FSSpec: the title rule.
std::optional<std::string> destinationByTitle(const sdk::FormatRecord* block) {
  if (block == nullptr) return std::nullopt;
  const auto title = documentTitle(*block);
  if (!title) return std::nullopt;
  return save::destinationFromTitle(*title);
}

}  // namespace

bool saveDestinationCopy(SaveOperation& save, FileSwap& files, const std::string& folder,
                         const sdk::FormatRecord* block) {
  return parkDestination(save, files, folder, fileSpecName(block));
}

bool parkForPlainSave(SaveOperation& save, FileSwap& files, const std::string& folder,
                      const sdk::FormatRecord* block) {
  if (block == nullptr) return true;
  if (block->fileSpec != nullptr) return parkDestination(save, files, folder, fileSpecName(block));
  // A host that refuses the title now will refuse it at WritePrepare too,
  // which fails the save there.
  const auto destination = destinationByTitle(block);
  return !destination || parkDestination(save, files, folder, *destination);
}

bool namesOtherDestination(const SaveOperation& save, const FileSwap& files, const sdk::FormatRecord* block) {
  if (!save.destinationParked || block == nullptr || block->fileSpec == nullptr) return false;
  // Compared in place: deciding whether an operation begins allocates nothing.
  const unsigned char* name = block->fileSpec->name;
  return std::string_view(reinterpret_cast<const char*>(name + 1), name[0]) != files.hostFileName;
}

bool findDestination(SaveOperation& save, FileSwap& files, const std::string& folder,
                     const sdk::FormatRecord* block) {
  // Parked by this very save, it is already here, whatever its age: a host
  // that took its time before WritePrepare has truncated the file by now.
  if (save.destinationParked) {
    save.destinationCopyReused = true;
    return true;
  }
  // The destination of this save, which a parked copy must have been taken
  // from: the FSSpec's, or else the one the title names. The title is asked
  // for once: at once without an FSSpec, else only when no copy was parked.
  const bool hasSpec = block != nullptr && block->fileSpec != nullptr;
  std::optional<std::string> byTitle = hasSpec ? std::nullopt : destinationByTitle(block);
  const std::optional<std::string> current = hasSpec ? fileSpecName(block) : byTitle;
  if (current) {
    if (auto back = save::takeBackDestinationCopy(folder, *current)) {
      destinationCopy(save) = std::move(back->copy);
      save.destinationCopyReused = true;
      if (back->path) files.hostFileName = *back->path;
      return true;
    }
  }
  if (hasSpec) byTitle = destinationByTitle(block);
  if (!byTitle) {
    files.hostFileName.clear();
    return false;
  }
  files.hostFileName = *byTitle;
  // A destination that is there but cannot be read would lose its images.
  return save::readFileWithin(files.hostFileName, limits::kDestinationFileMax, destinationCopy(save)) !=
         save::ReadOutcome::Failed;
}

bool captureWriteFields(SaveOperation& save, const sdk::FormatRecord* block) {
  if (block == nullptr) return true;
  save.imageWidth = block->imageSize.h;
  save.imageHeight = block->imageSize.v;
  save.hostImageMode = static_cast<std::uint8_t>(block->imageMode & 0xFF);
  save.hostPlanes = block->planes;
  // Every buffer of the save is sized from these numbers.
  return save::withinHostLimits(save.recordedImage());
}

void captureLookupTables(SaveOperation& save, const sdk::FormatRecord* block) {
  if (block == nullptr) return;
  save::captureLookupTables(save.savedTables, save.hostImageMode, block->redLUT, block->greenLUT,
                            block->blueLUT);
}

void capturePixels(SaveOperation& save, const sdk::FormatRecord* block) {
  if (block == nullptr || !save.captureBuffer) return;
  save::DeliveredBlock delivered;
  delivered.data = static_cast<const std::uint8_t*>(block->data);
  delivered.top = block->theRect.top;
  delivered.left = block->theRect.left;
  delivered.bottom = block->theRect.bottom;
  delivered.right = block->theRect.right;
  delivered.loPlane = block->loPlane;
  delivered.hiPlane = block->hiPlane;
  delivered.imageRows = block->imageSize.v;
  save::appendDeliveredBlock(*save.captureBuffer, delivered, save.recordedImage());
}

int buildSourceFromCapture(SaveOperation& save, platform::FileHandle tempPng, TBitmapFix32& source,
                           TBitmap& mask) {
  save::SourceInputs in;
  in.image = save.recordedImage();
  if (save.captureBuffer) in.capture = *save.captureBuffer;
  in.tables = &save.savedTables;
  if (in.image.mode == save::kModeGray || in.image.mode == save::kModeIndexed) {
    if (!save.pngReadBack) save.pngReadBack.emplace();
    // A PNG that cannot be read back decodes as nothing: the builder refuses.
    if (!save::readBackPng(tempPng, *save.pngReadBack)) save.pngReadBack->clear();
    in.png = *save.pngReadBack;
  }
  return save::buildSourceImage(in, source, mask, save.proposedDepth, &save.distinctIndices);
}

namespace {

// The host's result for how a save ended: a cancelled new file wrote nothing,
// so it is no success either.
std::int16_t hostResult(save::SaveResult result) {
  switch (result) {
    case save::SaveResult::Saved:
    case save::SaveResult::Cancelled:
      return 0;
    case save::SaveResult::CancelledNewFile:
    case save::SaveResult::Failed:
      break;
  }
  return 1;
}

// The whole icon from the start of the host's file: hosts hand over the file
// truncated and at 0, but nothing of an older, longer file may survive
// behind a shorter icon. False when the write did not land.
bool writeToHost(std::intptr_t dataFork, const std::vector<std::uint8_t>& bytes) {
  if (bytes.empty()) return true;
  const auto fork = static_cast<platform::FileHandle>(dataFork);
  return platform::seekFile(fork, 0, platform::SeekOrigin::Begin) == 0 &&
         platform::writeFile(fork, bytes.data(), bytes.size()) == static_cast<std::int64_t>(bytes.size()) &&
         platform::truncateFile(fork);
}

}  // namespace

void restoreAbandonedDestination(const SaveOperation& save, const FileSwap& files,
                                 std::int16_t lastSucceeded) {
  if (lastSucceeded < sdk::formatSelectorWritePrepare || files.hostFileName.empty() ||
      !save.destinationCopy || save.destinationCopy->empty())
    return;
  // Only a file the host truncated for this save is written: anything else
  // there is newer than our copy.
  const platform::FileHandle file =
      platform::openFile(files.hostFileName, platform::FileAccess::Write, platform::FileShare::None);
  if (file == platform::kInvalidFile) return;
  if (platform::fileSize(file) == 0)
    platform::writeFile(file, save.destinationCopy->data(), save.destinationCopy->size());
  platform::closeFile(file);
}

void restoreDestination(const SaveOperation& save, FileSwap& files, const sdk::FormatRecord* block) {
  if (block == nullptr || !save.destinationCopy || save.destinationCopy->empty()) return;
  files.hostDataFork = block->dataFork;
  writeToHost(files.hostDataFork, *save.destinationCopy);
}

std::int16_t assembleDestination(SaveOperation& save, FileSwap& files, const sdk::FormatRecord* block) {
  const std::vector<std::uint8_t> none;
  const std::vector<std::uint8_t>& before = save.destinationCopy ? *save.destinationCopy : none;
  save::ShowOptionsFn showOptions = [&save, &files](std::vector<std::uint8_t>& destination,
                                                    save::SaveChoices& choices) {
    if (!save.assemblyBuffer) save.assemblyBuffer.emplace();
    save::OptionsInput input{files.hostFileName, save.imageWidth, save.imageHeight, save.hostImageMode};
    return save::ShowOptions(input, save.proposedDepth, destination, *save.assemblyBuffer, choices);
  };
  const save::CursorHints cursor = cursorHints(files.hostFileName, before, block);
  save::WriteOutcome outcome;
  if (save.hostImageMode <= save::kModeRgb) {
    TBitmapFix32 source;
    TBitmap mask;
    const int built = buildSourceFromCapture(save, files.tempPngHandle, source, mask);
    outcome =
        save::assembleFromSource({&source, &mask, built == 0}, before, save.saveChoices, showOptions, cursor);
  } else {
    if (!save.pngReadBack) save.pngReadBack.emplace();
    const bool read = save::readBackPng(files.tempPngHandle, *save.pngReadBack);
    outcome = save::assembleFromPng(read ? &*save.pngReadBack : nullptr, before, save.saveChoices,
                                    showOptions, cursor);
  }
  // A write that did not land is no saved icon.
  if (!writeToHost(files.hostDataFork, outcome.bytes)) return 1;
  return hostResult(outcome.result);
}

}  // namespace icofmt::host
