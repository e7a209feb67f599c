// A carried module for the tests: records each call and what the parameter
// block held, and answers as the Recorder in the data slot says.
#include <dlfcn.h>

#include <algorithm>
#include <cstring>

#include "platform/forms.h"
#include "platform/scripted.h"
#include "recorder.h"
#include "sdk/format_record.h"
#include "sdk/selectors.h"

using icofmt::test::Recorder;

extern "C" __attribute__((visibility("default"))) void ENTRYPOINT1(std::int16_t selector,
                                                                   icofmt::sdk::FormatRecord* block,
                                                                   std::intptr_t* data,
                                                                   std::int16_t* result) {
  auto* slot = reinterpret_cast<Recorder**>(dlsym(RTLD_DEFAULT, "icofmt_test_recorder"));
  Recorder* recorder = slot != nullptr ? *slot : nullptr;
  if (recorder == nullptr) return;
  if (recorder->callCount < 64) {
    auto& call = recorder->calls[recorder->callCount];
    call.selector = selector;
    call.hadBlock = block != nullptr;
    call.dataFork = block ? block->dataFork : 0;
    if (block && block->fileSpec) {
      std::memcpy(call.name, block->fileSpec->name + 1, block->fileSpec->name[0]);
      call.name[block->fileSpec->name[0]] = '\0';
    }
    call.hooksInstalled = icofmt::platform::scripted::installedHooks();
    call.slot = data != nullptr ? *data : -1;
  }
  if (data != nullptr && *data == 0) *data = kRecordingModuleGlobals;
  ++recorder->callCount;
  if (selector == icofmt::sdk::formatSelectorOptionsStart && recorder->optionsCaption != nullptr) {
    icofmt::platform::Form form;
    form.caption = recorder->optionsCaption;
    icofmt::platform::Control button;
    if (recorder->optionsHasOk) {
      button.name = "B_Ok";
      button.caption = "OK";
      button.modalResult = icofmt::platform::ModalResult::Ok;
      form.add(button);
    }
    button.name = "B_Cancel";
    button.caption = "Cancel";
    button.modalResult = icofmt::platform::ModalResult::Cancel;
    form.add(button);
    recorder->optionsResult = static_cast<int>(icofmt::platform::showModal(form));
  }
  if (selector == icofmt::sdk::formatSelectorWriteFinish && recorder->leaveBufferAtWriteFinish && block)
    block->data = recorder->ownBuffer;
  if (selector >= 0 && selector < 17) *result = recorder->resultFor[selector];
}
