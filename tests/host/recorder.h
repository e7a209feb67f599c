#pragma once
// What the recording carried module saw and how it answers. The test program
// exports icofmt_test_recorder, which the module finds by name; the host's
// data slot is the module's own, as for any carried module.
#include <cstdint>

namespace icofmt::test {

struct RecordedCall {
  std::int16_t selector;
  bool hadBlock;
  std::intptr_t dataFork;
  char name[256];  // the FSSpec's name, as a C string
  int hooksInstalled;
  std::intptr_t slot;  // what the data slot held on entry
};

struct Recorder {
  int callCount = 0;
  RecordedCall calls[64] = {};
  std::int16_t resultFor[17] = {};
  // OptionsStart shows a form with this caption, with an OK button if asked.
  const char* optionsCaption = nullptr;
  bool optionsHasOk = true;
  int optionsResult = -1;  // platform::ModalResult as int
  // Left in the block's data at WriteFinish; the carried module owns it.
  unsigned char ownBuffer[16] = {};
  bool leaveBufferAtWriteFinish = false;
};

}  // namespace icofmt::test

// The Recorder of the running test, or null.
extern "C" icofmt::test::Recorder* icofmt_test_recorder;

// What the recording module keeps in the data slot, as modules that hold
// their globals there do.
constexpr std::intptr_t kRecordingModuleGlobals = 0x5107;
