#include "host/dispatch.h"

#include <exception>
#include <new>

#include "host/carried_module.h"
#include "host/module_state.h"
#include "host/options_hook.h"
#include "host/steps.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "sdk/selectors.h"

namespace icofmt::host {

namespace {

using namespace sdk;

bool isRead(std::int16_t selector) { return selector > 0 && selector < formatSelectorOptionsPrepare; }
bool isWrite(std::int16_t selector) {
  return selector >= formatSelectorOptionsPrepare && selector <= formatSelectorWriteFinish;
}

// A step that answers false ends the call with result 1.
void require(ModuleState& s, bool succeeded) {
  if (!succeeded && s.errorFlag == 0) s.errorFlag = 1;
}

HostCall hostCall(const ModuleState& s) { return {s.selector, s.formatParamBlock, s.pluginData}; }

void forwardRead(ModuleState& s) { forwardRead(s.carried, s.read, s.files, hostCall(s), s.errorFlag); }
void forwardWrite(ModuleState& s) { forwardWrite(s.carried, s.files, hostCall(s), s.errorFlag); }

// Exceptions become result codes here and nowhere else.
void dispatchGuarded(ModuleState& s) {
  try {
    if (isRead(s.selector)) readDispatch(s);
    if (isWrite(s.selector)) writeDispatch(s);
  } catch (const std::bad_alloc&) {
    s.errorFlag = memFullErr;
  } catch (const std::exception& e) {
    platform::messageBox(e.what(), "Error", platform::MessageButtons::Ok);
    s.errorFlag = 1;
  } catch (...) {
    s.errorFlag = 1;
  }
}

// Whether this selector starts an operation of its own. A host may abandon an
// operation without its Finish (giving up after EstimateFinish, say); what
// that operation left must not leak into the next one. A save that names
// another destination than the one it parked is another save, whatever came
// before.
bool beginsOperation(const ModuleState& s) {
  const bool otherDestination = namesOtherDestination(s.save, s.files, s.formatParamBlock);
  switch (s.selector) {
    case formatSelectorReadPrepare:
    case formatSelectorOptionsPrepare:
      return true;
    case formatSelectorEstimatePrepare:  // a plain save starts here
      return s.lastSucceeded != formatSelectorOptionsFinish || otherDestination;
    case formatSelectorWritePrepare:  // a host may skip the estimate
      return (s.lastSucceeded != formatSelectorOptionsFinish &&
              s.lastSucceeded != formatSelectorEstimateFinish) ||
             otherDestination;
    default:
      return false;
  }
}

// A state no selector has touched since the last reset is left as it is.
void releaseAndReset(ModuleState& s) {
  if (s.firstCall) return;
  if (!s.cleanedUp) {
    try {
      restoreAbandonedDestination(s.save, s.files, s.lastSucceeded);
    } catch (...) {
    }
    releaseOperation(s);
  }
  resetModuleState();
}

// Hosts keep the module loaded, so an operation that is over releases what it
// holds and leaves the state as a fresh load would.
void endOperationIfOver(ModuleState& s) {
  const std::int16_t selector = s.selector;
  const bool over = selector == formatSelectorReadFinish || selector == formatSelectorWriteFinish ||
                    (s.errorFlag != 0 && errorEndsOperation(selector));
  if (!over) {
    if (s.errorFlag == 0 && (isRead(selector) || isWrite(selector))) s.lastSucceeded = selector;
    if (s.errorFlag != 0 && selector == formatSelectorWriteContinue) s.save.writeFailed = true;
    return;
  }
  if (!s.cleanedUp && !s.firstCall) {
    if (isRead(selector)) {
      finishRead(s);
    } else {
      if (selector == formatSelectorWritePrepare || selector == formatSelectorWriteStart)
        restoreDestination(s.save, s.files, s.formatParamBlock);
      finishWriteCleanup(s);
    }
  }
  resetModuleState();
}

}  // namespace

// Hosts send a Finish exactly when its Start succeeded, even after a failed
// Continue; so an error ends the operation at a Prepare or a Start, and at the
// Finish of the options and estimate steps, which no Finish follows.
bool errorEndsOperation(std::int16_t selector) {
  switch (selector) {
    case formatSelectorReadPrepare:
    case formatSelectorReadStart:
    case formatSelectorOptionsPrepare:
    case formatSelectorOptionsStart:
    case formatSelectorOptionsFinish:
    case formatSelectorEstimatePrepare:
    case formatSelectorEstimateStart:
    case formatSelectorEstimateFinish:
    case formatSelectorWritePrepare:
    case formatSelectorWriteStart:
      return true;
    default:
      return false;
  }
}

// Opening, selector by selector.
void readDispatch(ModuleState& s) {
  // A read selector of no prepared operation (a ReadFinish after a failed
  // ReadStart ended it, say) has nothing to read and must not load anything.
  if (s.selector != formatSelectorReadPrepare && !s.read.prepared) {
    if (s.selector != formatSelectorReadFinish) s.errorFlag = 1;
    return;
  }
  if (s.firstCall) {
    s.firstCall = false;
    require(s, loadCarriedModule(s.carried, platform::ownModule(), s.pluginData));
  }
  if (s.errorFlag != 0) return;
  switch (s.selector) {
    case formatSelectorReadPrepare:
      // Without a parameter block there is no file to open.
      require(s, s.formatParamBlock != nullptr &&
                     prepareRead(s.read, s.files, s.carried.folder, *s.formatParamBlock));
      s.read.prepared = true;
      // The host's fields are swapped back and forth even when the export
      // failed; the carried module is then not called.
      forwardRead(s);
      break;
    case formatSelectorReadStart:
    case formatSelectorReadContinue:
      forwardRead(s);
      break;
    case formatSelectorReadFinish:
      forwardRead(s);
      finishRead(s);
      break;
    default:
      break;
  }
}

// Saving, selector by selector.
void writeDispatch(ModuleState& s) {
  SaveOperation& save = s.save;
  FileSwap& files = s.files;
  const sdk::FormatRecord* block = s.formatParamBlock;
  if (s.firstCall) {
    s.firstCall = false;
    require(s, loadCarriedModule(s.carried, platform::ownModule(), s.pluginData));
    nameParkedFiles(save, s.carried.folder);
    if (!s.carried.folder.empty()) files.tempPngPath = s.carried.folder + "tmpPNG234.png";
    save.destinationCopy.emplace();
    save.pngReadBack.emplace();
    save.captureBuffer.emplace();
    save.assemblyBuffer.emplace();
  }
  // The carried module writes into the temporary PNG from WritePrepare on;
  // it exists even when the load failed, so that every step sees the same.
  if (s.selector == formatSelectorWritePrepare) {
    if (files.tempPngHandle != platform::kInvalidFile) platform::closeFile(files.tempPngHandle);
    files.tempPngHandle = files.tempPngPath.empty() ? platform::kInvalidFile
                                                    : platform::createPrivateFile(
                                                          files.tempPngPath, platform::FileAccess::ReadWrite);
    if (files.tempPngHandle == platform::kInvalidFile && s.errorFlag == 0) {
      s.errorFlag = 1;
      platform::messageBox(kCannotCreateTemporary + files.tempPngPath, "Error", platform::MessageButtons::Ok);
    }
  }
  if (s.errorFlag != 0) return;
  const std::string& folder = s.carried.folder;
  switch (s.selector) {
    case formatSelectorOptionsStart:
      installOptionsHook(platform::ownModule());
      forwardWrite(s);
      removeOptionsHook();
      break;
    case formatSelectorOptionsFinish:
      require(s, saveDestinationCopy(save, files, folder, block));
      forwardWrite(s);
      break;
    case formatSelectorEstimatePrepare:
      // Hosts skip the options step when they save a document again in its
      // format, and truncate the destination before WritePrepare: now is
      // the last moment its images can be kept.
      if (!save.destinationParked) require(s, parkForPlainSave(save, files, folder, block));
      forwardWrite(s);
      break;
    case formatSelectorWritePrepare:
      require(s, findDestination(save, files, folder, block));
      require(s, captureWriteFields(save, block));
      forwardWrite(s);
      break;
    case formatSelectorWriteStart:
      captureLookupTables(save, block);
      forwardWrite(s);
      break;
    case formatSelectorWriteContinue:
      capturePixels(save, block);
      forwardWrite(s);
      break;
    case formatSelectorWriteFinish:
      forwardWrite(s);
      if (save.writeFailed) {
        // The pixels never all arrived: the destination stays as it was.
        restoreDestination(save, files, block);
        s.errorFlag = 1;
        finishWriteCleanup(s);
        break;
      }
      try {
        s.errorFlag = assembleDestination(save, files, block);
      } catch (...) {
        // The host truncated the destination before writing: a save that
        // fails here (memory exhausted) gives it back its bytes.
        restoreDestination(save, files, block);
        throw;
      }
      finishWriteCleanup(s);
      break;
    default:
      forwardWrite(s);
      break;
  }
}

std::int16_t pluginMain(std::int16_t selector, FormatRecord* formatParamBlock, std::intptr_t* data,
                        std::int16_t* result) {
  if (result != nullptr) *result = 0;
  // The one place that knows where the state lives.
  ModuleState& s = moduleState();
  s.selector = selector;
  // Read by beginsOperation: the destination this selector names.
  s.formatParamBlock = formatParamBlock;
  try {
    if (beginsOperation(s)) releaseAndReset(s);
  } catch (...) {
    resetModuleState();
  }
  s.errorFlag = 0;
  s.selector = selector;
  s.formatParamBlock = formatParamBlock;
  s.pluginData = data;
  dispatchGuarded(s);
  const std::int16_t error = s.errorFlag;
  try {
    endOperationIfOver(s);
  } catch (...) {
    resetModuleState();
  }
  if (result != nullptr) *result = error;
  return error;
}

}  // namespace icofmt::host
