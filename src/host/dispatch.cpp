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

// Hosts keep the module loaded, so an operation that is over releases what it
// holds and leaves the state as a fresh load would.
void endOperationIfOver() {
  ModuleState& s = moduleState();
  std::int16_t selector = s.selector;
  bool over = selector == formatSelectorReadFinish || selector == formatSelectorWriteFinish ||
              (s.errorFlag != 0 && errorEndsOperation(selector));
  if (!over) return;
  if (!s.cleanedUp && !s.firstCall) {
    if (isRead(selector))
      finishRead();
    else
      finishWriteCleanup();
  }
  resetModuleState();
}

}  // namespace

bool errorEndsOperation(std::int16_t selector) {
  return selector == formatSelectorReadPrepare || selector == formatSelectorReadStart ||
         (selector >= formatSelectorOptionsPrepare && selector <= formatSelectorWriteStart);
}

void readDispatch() {
  ModuleState& s = moduleState();
  if (s.firstCall) {
    s.firstCall = false;
    loadDelegate(platform::ownModule());
  }
  if (s.errorFlag != 0) return;
  switch (s.selector) {
    case formatSelectorReadPrepare:
      prepareRead();
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
    s.tempPngPath = s.tempFolder + "tmpPNG234.png";
    s.destinationCopy.emplace();
    s.pngReadBack.emplace();
    s.captureBuffer.emplace();
    s.assemblyBuffer.emplace();
  }
  if (s.selector == formatSelectorWritePrepare) {
    if (s.tempPngHandle > 0) platform::closeFile(s.tempPngHandle);
    s.tempPngHandle =
        platform::createFile(s.tempPngPath, platform::FileAccess::ReadWrite, platform::FileShare::None);
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
      assembleDestination();
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
