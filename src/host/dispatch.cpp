#include "host/dispatch.h"

#include <exception>
#include <new>

#include "host/delegate.h"
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

void dispatch() {
  std::int16_t selector = moduleState().selector;
  if (isRead(selector)) readDispatch();
  if (isWrite(selector)) writeDispatch();
}

// Exceptions become result codes here and nowhere else.
void dispatchGuarded() {
  ModuleState& s = moduleState();
  try {
    dispatch();
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
// that operation left must not leak into the next one.
// A save that names another destination than the one it parked is another
// save, whatever came before.
bool beginsOperation(const ModuleState& s) {
  switch (s.selector) {
    case formatSelectorReadPrepare:
    case formatSelectorOptionsPrepare:
      return true;
    case formatSelectorEstimatePrepare:  // a plain save starts here
      return s.lastSucceeded != formatSelectorOptionsFinish || namesOtherDestination();
    case formatSelectorWritePrepare:  // a host may skip the estimate
      return (s.lastSucceeded != formatSelectorOptionsFinish &&
              s.lastSucceeded != formatSelectorEstimateFinish) ||
             namesOtherDestination();
    default:
      return false;
  }
}

// A state no selector has touched since the last reset is left as it is.
void releaseAndReset() {
  ModuleState& s = moduleState();
  if (s.firstCall) return;
  if (!s.cleanedUp) {
    try {
      restoreAbandonedDestination();
    } catch (...) {
    }
    releaseOperation();
  }
  resetModuleState();
}

// Hosts keep the module loaded, so an operation that is over releases what it
// holds and leaves the state as a fresh load would.
void endOperationIfOver() {
  ModuleState& s = moduleState();
  std::int16_t selector = s.selector;
  bool over = selector == formatSelectorReadFinish || selector == formatSelectorWriteFinish ||
              (s.errorFlag != 0 && errorEndsOperation(selector));
  if (!over) {
    if (s.errorFlag == 0 && (isRead(selector) || isWrite(selector))) s.lastSucceeded = selector;
    if (s.errorFlag != 0 && selector == formatSelectorWriteContinue) s.writeFailed = true;
    return;
  }
  if (!s.cleanedUp && !s.firstCall) {
    if (isRead(selector)) {
      finishRead();
    } else {
      if (selector == formatSelectorWritePrepare || selector == formatSelectorWriteStart)
        restoreDestination();
      finishWriteCleanup();
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

void readDispatch() {
  ModuleState& s = moduleState();
  // A read selector of no prepared operation (a ReadFinish after a failed
  // ReadStart ended it, say) has nothing to read and must not load anything.
  if (s.selector != formatSelectorReadPrepare && !s.readPrepared) {
    if (s.selector != formatSelectorReadFinish) s.errorFlag = 1;
    return;
  }
  if (s.firstCall) {
    s.firstCall = false;
    loadDelegate(platform::ownModule());
  }
  if (s.errorFlag != 0) return;
  switch (s.selector) {
    case formatSelectorReadPrepare:
      prepareRead();
      s.readPrepared = true;
      forwardRead();
      break;
    case formatSelectorReadStart:
    case formatSelectorReadContinue:
      forwardRead();
      break;
    case formatSelectorReadFinish:
      forwardRead();
      finishRead();
      break;
    default:
      break;
  }
}

void writeDispatch() {
  ModuleState& s = moduleState();
  if (s.firstCall) {
    s.firstCall = false;
    loadDelegate(platform::ownModule());
    nameParkedFiles();
    s.tempPngPath = s.tempFolder + "tmpPNG234.png";
    s.destinationCopy.emplace();
    s.pngReadBack.emplace();
    s.captureBuffer.emplace();
    s.assemblyBuffer.emplace();
  }
  if (s.selector == formatSelectorWritePrepare) {
    if (s.tempPngHandle != platform::kInvalidFile) platform::closeFile(s.tempPngHandle);
    s.tempPngHandle = s.tempPngPath.empty()
                          ? platform::kInvalidFile
                          : platform::createPrivateFile(s.tempPngPath, platform::FileAccess::ReadWrite);
    if (s.tempPngHandle == platform::kInvalidFile && s.errorFlag == 0) {
      s.errorFlag = 1;
      platform::messageBox(kCannotCreateTemporary + s.tempPngPath, "Error", platform::MessageButtons::Ok);
    }
  }
  if (s.errorFlag != 0) return;
  switch (s.selector) {
    case formatSelectorOptionsStart:
      installOptionsHook(platform::ownModule());
      forwardWrite();
      removeOptionsHook();
      break;
    case formatSelectorOptionsFinish:
      saveDestinationCopy();
      forwardWrite();
      break;
    case formatSelectorEstimatePrepare:
      // Hosts skip the options step when they save a document again in its
      // format, and truncate the destination before WritePrepare: now is
      // the last moment its images can be kept.
      if (!s.destinationParked) parkForPlainSave();
      forwardWrite();
      break;
    case formatSelectorWritePrepare:
      reuseDestinationCopy();
      if (!s.destinationCopyReused) lookUpDestinationTitle();
      captureWriteFields();
      forwardWrite();
      break;
    case formatSelectorWriteStart:
      captureLookupTables();
      forwardWrite();
      break;
    case formatSelectorWriteContinue:
      capturePixels();
      forwardWrite();
      break;
    case formatSelectorWriteFinish:
      forwardWrite();
      if (s.writeFailed) {
        // The pixels never all arrived: the destination stays as it was.
        restoreDestination();
        s.errorFlag = 1;
        finishWriteCleanup();
        break;
      }
      try {
        assembleDestination();
      } catch (...) {
        // The host truncated the destination before writing: a save that
        // fails here (memory exhausted) gives it back its bytes.
        restoreDestination();
        throw;
      }
      finishWriteCleanup();
      break;
    default:
      forwardWrite();
      break;
  }
}

std::int16_t pluginMain(std::int16_t selector, FormatRecord* formatParamBlock, std::intptr_t* data,
                        std::int16_t* result) {
  if (result != nullptr) *result = 0;
  ModuleState& s = moduleState();
  s.selector = selector;
  // Read by beginsOperation: the destination this selector names.
  s.formatParamBlock = formatParamBlock;
  try {
    if (beginsOperation(s)) releaseAndReset();
  } catch (...) {
    resetModuleState();
  }
  s.errorFlag = 0;
  s.selector = selector;
  s.formatParamBlock = formatParamBlock;
  s.pluginData = data;
  dispatchGuarded();
  std::int16_t error = s.errorFlag;
  try {
    endOperationIfOver();
  } catch (...) {
    resetModuleState();
  }
  if (result != nullptr) *result = error;
  return error;
}

}  // namespace icofmt::host
