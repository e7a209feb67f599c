// Message boxes, hooks and windows on the real user library (forms: form_window.cpp).
#include <windows.h>

#include <string>

#include "platform/forms.h"
#include "platform/message_box.h"
#include "platform/windowing.h"

namespace icofmt::platform {

MessageAnswer messageBox(const std::string& text, const std::string& caption, MessageButtons buttons,
                         MessageIcon icon) {
  UINT type = buttons == MessageButtons::Ok ? MB_OK : MB_YESNO;
  if (icon == MessageIcon::Question) type |= MB_ICONQUESTION;
  int answer = ::MessageBoxA(::GetActiveWindow(), text.c_str(), caption.c_str(), type | MB_TASKMODAL);
  if (buttons == MessageButtons::Ok) return MessageAnswer::Ok;
  return answer == IDYES ? MessageAnswer::Yes : MessageAnswer::No;
}

std::uint32_t faceColour() { return static_cast<std::uint32_t>(::GetSysColor(COLOR_BTNFACE)) & 0x00FFFFFF; }

void openWebPage(const std::string& url) {
  ::ShellExecuteA(nullptr, "open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

HookHandle installCallWndProcHook(HookProc proc, ModuleHandle instance) {
  return ::SetWindowsHookExA(WH_CALLWNDPROC, reinterpret_cast<HOOKPROC>(proc),
                             static_cast<HINSTANCE>(instance), ::GetCurrentThreadId());
}

bool removeHook(HookHandle hook) {
  return hook != nullptr && ::UnhookWindowsHookEx(static_cast<HHOOK>(hook));
}

std::intptr_t callNextHook(HookHandle hook, int code, std::uintptr_t wParam, std::intptr_t lParam) {
  return ::CallNextHookEx(static_cast<HHOOK>(hook), code, wParam, lParam);
}

std::string windowCaption(WindowHandle window, std::size_t maxChars) {
  std::string text(maxChars + 1, '\0');
  int n = ::GetWindowTextA(static_cast<HWND>(window), text.data(), static_cast<int>(text.size()));
  text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return text;
}

WindowHandle findChildWindow(WindowHandle parent, const char* className, const char* caption) {
  return ::FindWindowExA(static_cast<HWND>(parent), nullptr, className, caption);
}

bool postMessage(WindowHandle window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
  return ::PostMessageA(static_cast<HWND>(window), message, wParam, lParam) != 0;
}

}  // namespace icofmt::platform
