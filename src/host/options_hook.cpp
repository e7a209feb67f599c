#include "host/options_hook.h"

#include "host/module_state.h"

namespace icofmt::host {

std::string trimmedCaption(const std::string& caption) {
  std::string text = caption.substr(0, 256);
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  std::size_t begin = 0;
  while (begin < text.size() && blank(text[begin])) ++begin;
  std::size_t end = text.size();
  while (end > begin && blank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

namespace {
bool confirm(const platform::CallWndProcInfo& message);
}  // namespace

std::intptr_t ICOFMT_CALLBACK optionsHook(int code, std::uintptr_t wParam, std::intptr_t lParam) {
  platform::HookHandle self = moduleState().hookHandle;
  if (code < 0 || lParam == 0) return platform::callNextHook(self, code, wParam, lParam);
  const auto* info = reinterpret_cast<const platform::CallWndProcInfo*>(lParam);
  // Nothing may unwind through the system's hook chain.
  try {
    return confirm(*info) ? 0 : platform::callNextHook(self, code, wParam, lParam);
  } catch (...) {
    return platform::callNextHook(self, code, wParam, lParam);
  }
}

namespace {
// True when the message belongs to the carried module's options dialog; its
// OK button, if any, then gets a click.
bool confirm(const platform::CallWndProcInfo& message) {
  const platform::CallWndProcInfo* info = &message;
  bool watched = info->message == platform::kWmPaint || info->message == platform::kWmShowWindow ||
                 info->message == platform::kWmInitDialog;
  if (!watched || trimmedCaption(platform::windowCaption(info->window, 259)) != "PNG Options") return false;
  // Posted, not sent: the click lands once the dialog's own loop runs.
  if (platform::WindowHandle ok = platform::findChildWindow(info->window, "Button", "OK"))
    platform::postMessage(ok, platform::kBmClick, 0, 0);
  return true;
}
}  // namespace

void installOptionsHook(platform::ModuleHandle instance) {
  moduleState().hookHandle = platform::installCallWndProcHook(&optionsHook, instance);
}

void removeOptionsHook() {
  ModuleState& s = moduleState();
  if (s.hookHandle != nullptr) platform::removeHook(s.hookHandle);
  s.hookHandle = nullptr;
}

}  // namespace icofmt::host
