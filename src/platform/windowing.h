#pragma once
// Windows, messages and the call-window-procedure hook of the current thread.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/modules.h"

#if defined(_WIN32)
#define ICOFMT_CALLBACK __stdcall
#else
#define ICOFMT_CALLBACK
#endif

namespace icofmt::platform {

using WindowHandle = void*;
using HookHandle = void*;

constexpr unsigned kWmActivate = 0x0006;
constexpr unsigned kWmClose = 0x0010;
constexpr unsigned kWmPaint = 0x000F;
constexpr unsigned kWmShowWindow = 0x0018;
constexpr unsigned kWmInitDialog = 0x0110;
constexpr unsigned kWmCommand = 0x0111;
constexpr unsigned kBmClick = 0x00F5;

// What a call-window-procedure hook receives through its last argument; the
// same layout as the system's record of a sent message.
struct CallWndProcInfo {
  std::intptr_t lParam;
  std::uintptr_t wParam;
  unsigned message;
  WindowHandle window;
};

using HookProc = std::intptr_t(ICOFMT_CALLBACK*)(int code, std::uintptr_t wParam, std::intptr_t lParam);

// The hook sees every message sent to a window of the current thread before
// the window procedure runs. Null when it cannot be installed.
HookHandle installCallWndProcHook(HookProc proc, ModuleHandle instance);
bool removeHook(HookHandle hook);
std::intptr_t callNextHook(HookHandle hook, int code, std::uintptr_t wParam, std::intptr_t lParam);

// At most maxChars characters of the window's caption.
std::string windowCaption(WindowHandle window, std::size_t maxChars);
// The first child of parent with this class and caption, or null.
WindowHandle findChildWindow(WindowHandle parent, const char* className, const char* caption);
bool postMessage(WindowHandle window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

}  // namespace icofmt::platform
