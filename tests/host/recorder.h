#pragma once
// What the recording carried module saw and how it answers. The tests hand it
// over through the host's data slot, which the module passes on unchanged.
#include <cstdint>

namespace icofmt::test {

struct RecordedCall {
  std::int16_t selector;
  bool hadBlock;
  std::intptr_t dataFork;
  char name[256];  // the FSSpec's name, as a C string
  int hooksInstalled;
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
