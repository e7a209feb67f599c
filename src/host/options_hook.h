#pragma once
// Confirms the carried module's own "PNG Options" dialog before the user sees
// it: a call-window-procedure hook on the host's thread, installed only for
// the duration of the OptionsStart call of the carried module.
#include <cstdint>
#include <string>

#include "platform/windowing.h"

namespace icofmt::host {

std::intptr_t ICOFMT_CALLBACK optionsHook(int code, std::uintptr_t wParam, std::intptr_t lParam);
void installOptionsHook(platform::ModuleHandle instance);
void removeOptionsHook();

// The caption as the hook compares it: at most 256 characters, without
// leading and trailing blanks and control characters.
std::string trimmedCaption(const std::string& caption);

}  // namespace icofmt::host
