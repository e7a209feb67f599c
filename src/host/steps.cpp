// The per-selector work of opening and saving: the host's fields taken from
// the parameter block at this edge, the work itself done by open/ and save/
// on plain values; neither ever sees the host's record.
#include "host/steps.h"

#include "base/limits.h"
#include "host/delegate.h"
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

save::HostImage recordedImage(const ModuleState& s) {
  return {s.hostImageMode, s.imageWidth, s.imageHeight, s.hostPlanes};
}

std::vector<std::uint8_t>& destinationCopy(ModuleState& s) {
  if (!s.destinationCopy) s.destinationCopy.emplace();
  return *s.destinationCopy;
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
save::CursorHints cursorHints(const ModuleState& s, const std::vector<std::uint8_t>& destination) {
  save::CursorHints hints;
  hints.newFileIsCursor = save::namesCursor(s.hostFileName);
  if (hints.newFileIsCursor || save::isCursorFile(destination))
    hints.hotSpot = hostHotSpot(s.formatParamBlock);
  return hints;
}

}  // namespace

void prepareRead() {
  ModuleState& s = moduleState();
  const sdk::FormatRecord* block = s.formatParamBlock;
  // Without a parameter block there is no file to open.
  if (block == nullptr) {
    s.errorFlag = 1;
    return;
  }
  s.hostFileName = fileSpecName(block);
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
  s.tempPngHandle = platform::openPrivateFile(s.tempPngPath, platform::FileAccess::Read);
  if (s.tempPngHandle == platform::kInvalidFile) s.errorFlag = 1;
}

namespace {

void parkDestination(const std::string& destination) {
  ModuleState& s = moduleState();
  s.hostFileName = destination;
  switch (save::parkDestinationCopy(s.tempFolder, s.hostFileName, destinationCopy(s))) {
    case save::ParkOutcome::Parked:
      s.destinationParked = true;
      break;
    case save::ParkOutcome::DestinationUnreadable:
      s.errorFlag = 1;
      break;
    case save::ParkOutcome::CopyNotCreated:
      platform::messageBox(kCannotCreateTemporary + save::parkedCopyPath(s.tempFolder), "Error",
                           platform::MessageButtons::Ok);
      s.errorFlag = 1;
      break;
    case save::ParkOutcome::NameNotCreated:
      platform::messageBox(kCannotCreateTemporary + save::parkedNamePath(s.tempFolder), "Error",
                           platform::MessageButtons::Ok);
      s.errorFlag = 1;
      break;
  }
}

// Where this save writes when the host gives no FSSpec: the title rule.
std::optional<std::string> destinationByTitle(const sdk::FormatRecord* block) {
  if (block == nullptr) return std::nullopt;
  const auto title = documentTitle(*block);
  if (!title) return std::nullopt;
  return save::destinationFromTitle(*title);
}

}  // namespace

void saveDestinationCopy() { parkDestination(fileSpecName(moduleState().formatParamBlock)); }

void parkForPlainSave() {
  ModuleState& s = moduleState();
  const sdk::FormatRecord* block = s.formatParamBlock;
  if (block == nullptr) return;
  if (block->fileSpec != nullptr) {
    parkDestination(fileSpecName(block));
    return;
  }
  // A host that refuses the title now will refuse it at WritePrepare too,
  // which fails the save there.
  if (const auto destination = destinationByTitle(block)) parkDestination(*destination);
}

bool namesOtherDestination() {
  const ModuleState& s = moduleState();
  const sdk::FormatRecord* block = s.formatParamBlock;
  if (!s.destinationParked || block == nullptr || block->fileSpec == nullptr) return false;
  // Compared in place: deciding whether an operation begins allocates nothing.
  const unsigned char* name = block->fileSpec->name;
  return std::string_view(reinterpret_cast<const char*>(name + 1), name[0]) != s.hostFileName;
}

void reuseDestinationCopy() {
  ModuleState& s = moduleState();
  // Parked by this very save, it is already here, whatever its age: a host
  // that took its time before WritePrepare has truncated the file by now.
  if (s.destinationParked) {
    s.destinationCopyReused = true;
    return;
  }
  const sdk::FormatRecord* block = s.formatParamBlock;
  // The destination of this save, which the parked copy must have been taken
  // from: the FSSpec's, or else the one the title names.
  std::optional<std::string> current;
  if (block != nullptr && block->fileSpec != nullptr)
    current = fileSpecName(block);
  else
    current = destinationByTitle(block);
  if (!current) return;
  auto back = save::takeBackDestinationCopy(s.tempFolder, *current);
  if (!back) return;
  destinationCopy(s) = std::move(back->copy);
  s.destinationCopyReused = true;
  if (back->path) s.hostFileName = *back->path;
}

void lookUpDestinationTitle() {
  ModuleState& s = moduleState();
  const auto title = s.formatParamBlock != nullptr ? documentTitle(*s.formatParamBlock) : std::nullopt;
  if (!title) {
    s.errorFlag = 1;
    s.hostFileName.clear();
    return;
  }
  s.hostFileName = save::destinationFromTitle(*title);
  // A destination that is there but cannot be read would lose its images.
  if (save::readFileWithin(s.hostFileName, limits::kDestinationFileMax, destinationCopy(s)) ==
      save::ReadOutcome::Failed)
    s.errorFlag = 1;
}

void captureWriteFields() {
  ModuleState& s = moduleState();
  const sdk::FormatRecord* block = s.formatParamBlock;
  if (block == nullptr) return;
  s.imageWidth = block->imageSize.h;
  s.imageHeight = block->imageSize.v;
  s.hostImageMode = static_cast<std::uint8_t>(block->imageMode & 0xFF);
  s.hostPlanes = block->planes;
  // Every buffer of the save is sized from these numbers.
  if (!save::withinHostLimits(recordedImage(s))) s.errorFlag = 1;
}

void captureLookupTables() {
  ModuleState& s = moduleState();
  const sdk::FormatRecord* block = s.formatParamBlock;
  if (block == nullptr) return;
  save::captureLookupTables(s.savedTables, s.hostImageMode, block->redLUT, block->greenLUT, block->blueLUT);
}

void capturePixels() {
  ModuleState& s = moduleState();
  const sdk::FormatRecord* block = s.formatParamBlock;
  if (block == nullptr || !s.captureBuffer) return;
  save::DeliveredBlock delivered;
  delivered.data = static_cast<const std::uint8_t*>(block->data);
  delivered.top = block->theRect.top;
  delivered.left = block->theRect.left;
  delivered.bottom = block->theRect.bottom;
  delivered.right = block->theRect.right;
  delivered.loPlane = block->loPlane;
  delivered.hiPlane = block->hiPlane;
  delivered.imageRows = block->imageSize.v;
  save::appendDeliveredBlock(*s.captureBuffer, delivered, recordedImage(s));
}

int buildSourceFromCapture(TBitmapFix32& source, TBitmap& mask) {
  ModuleState& s = moduleState();
  save::SourceInputs in;
  in.image = recordedImage(s);
  if (s.captureBuffer) in.capture = *s.captureBuffer;
  in.tables = &s.savedTables;
  if (in.image.mode == save::kModeGray || in.image.mode == save::kModeIndexed) {
    if (!s.pngReadBack) s.pngReadBack.emplace();
    // A PNG that cannot be read back decodes as nothing: the builder refuses.
    if (!save::readBackPng(s.tempPngHandle, *s.pngReadBack)) s.pngReadBack->clear();
    in.png = *s.pngReadBack;
  }
  return save::buildSourceImage(in, source, mask, s.proposedDepth, &s.distinctIndices);
}

namespace {

// The whole icon from the start of the host's file: hosts hand over the file
// truncated and at 0, but nothing of an older, longer file may survive
// behind a shorter icon.
void writeToHost(const std::vector<std::uint8_t>& bytes) {
  ModuleState& s = moduleState();
  if (bytes.empty()) return;
  const auto fork = static_cast<platform::FileHandle>(s.hostDataFork);
  bool written =
      platform::seekFile(fork, 0, platform::SeekOrigin::Begin) == 0 &&
      platform::writeFile(fork, bytes.data(), bytes.size()) == static_cast<std::int64_t>(bytes.size()) &&
      platform::truncateFile(fork);
  // A write that did not land is no saved icon.
  if (!written) s.errorFlag = 1;
}

}  // namespace

void restoreAbandonedDestination() {
  ModuleState& s = moduleState();
  if (s.lastSucceeded < sdk::formatSelectorWritePrepare || s.hostFileName.empty() || !s.destinationCopy ||
      s.destinationCopy->empty())
    return;
  // Only a file the host truncated for this save is written: anything else
  // there is newer than our copy.
  const platform::FileHandle file =
      platform::openFile(s.hostFileName, platform::FileAccess::Write, platform::FileShare::None);
  if (file == platform::kInvalidFile) return;
  if (platform::fileSize(file) == 0)
    platform::writeFile(file, s.destinationCopy->data(), s.destinationCopy->size());
  platform::closeFile(file);
}

void restoreDestination() {
  ModuleState& s = moduleState();
  if (s.formatParamBlock == nullptr || !s.destinationCopy || s.destinationCopy->empty()) return;
  s.hostDataFork = s.formatParamBlock->dataFork;
  const std::int16_t error = s.errorFlag;
  writeToHost(*s.destinationCopy);
  s.errorFlag = error;
}

void assembleDestination() {
  ModuleState& s = moduleState();
  const std::vector<std::uint8_t> none;
  const std::vector<std::uint8_t>& before = s.destinationCopy ? *s.destinationCopy : none;
  save::ShowOptionsFn showOptions = [&s](std::vector<std::uint8_t>& destination, save::SaveChoices& choices,
                                         std::int16_t& errorFlag) {
    if (!s.assemblyBuffer) s.assemblyBuffer.emplace();
    save::OptionsInput input{s.hostFileName, s.imageWidth, s.imageHeight, s.hostImageMode};
    return save::ShowOptions(input, s.proposedDepth, destination, *s.assemblyBuffer, errorFlag, choices);
  };
  const save::CursorHints cursor = cursorHints(s, before);
  save::WriteOutcome outcome;
  if (s.hostImageMode <= save::kModeRgb) {
    TBitmapFix32 source;
    TBitmap mask;
    const int built = buildSourceFromCapture(source, mask);
    outcome = save::assembleFromSource({&source, &mask, built == 0}, before, s.errorFlag, s.saveChoices,
                                       showOptions, cursor);
  } else {
    if (!s.pngReadBack) s.pngReadBack.emplace();
    const bool read = save::readBackPng(s.tempPngHandle, *s.pngReadBack);
    outcome = save::assembleFromPng(read ? &*s.pngReadBack : nullptr, before, s.errorFlag, s.saveChoices,
                                    showOptions, cursor);
  }
  s.errorFlag = outcome.errorFlag;
  writeToHost(outcome.bytes);
}

}  // namespace icofmt::host
