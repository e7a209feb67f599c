#pragma once
// What the form windows of every module in a process answer to the scripted
// user, which may live in another module: registered messages, so each module
// agrees on their numbers without sharing code.
#include <windows.h>

namespace icofmt::platform::win32 {

// Every form window is of this class, whichever module registered it.
constexpr char kFormClass[] = "IcofmtForm";

// lParam: the control's name (a NUL-terminated string of the same process).
// Returns the control's window, or 0.
inline UINT findControlMessage() { return ::RegisterWindowMessageA("IcofmtFindControl"); }
// Returns the button a user who accepts the defaults clicks (the first
// enabled push button whose modal result is Ok), or 0.
inline UINT confirmButtonMessage() { return ::RegisterWindowMessageA("IcofmtConfirmButton"); }
// Returns the window's Form. Only code of the module that made the window may
// use it (tests that compare a window with the form it shows).
inline UINT formModelMessage() { return ::RegisterWindowMessageA("IcofmtFormModel"); }

// A check-box list keeps each line's tick in the line's item data; a click in
// the first kCheckBoxWidth pixels of a line toggles it.
constexpr int kCheckBoxWidth = 16;

}  // namespace icofmt::platform::win32
