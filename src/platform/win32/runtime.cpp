// Message boxes, hooks, windows and modal forms on the real user library.
#include <windows.h>

#include <string>

#include "platform/forms.h"
#include "platform/message_box.h"
#include "platform/windowing.h"

namespace icofmt::platform {

namespace {

constexpr char kFormClass[] = "IcofmtForm";
constexpr int kFirstControlId = 1000;

struct FormWindow {
  Form* form;
  std::vector<HWND> controls;
};

void syncState(FormWindow& fw) {
  for (std::size_t i = 0; i < fw.controls.size(); ++i) {
    Control& c = fw.form->controls[i];
    HWND h = fw.controls[i];
    if (c.kind == ControlKind::CheckBox) c.checked = ::SendMessageA(h, BM_GETCHECK, 0, 0) == BST_CHECKED;
    if (c.kind == ControlKind::ComboBox)
      c.itemIndex = static_cast<int>(::SendMessageA(h, CB_GETCURSEL, 0, 0));
    if (c.kind == ControlKind::ListBox) c.itemIndex = static_cast<int>(::SendMessageA(h, LB_GETCURSEL, 0, 0));
  }
}

void onCommand(FormWindow& fw, int id, int code) {
  int index = id - kFirstControlId;
  if (index < 0 || static_cast<std::size_t>(index) >= fw.form->controls.size()) {
    if (id != IDCANCEL) return;
    // Escape works the cancel button even where the user cannot see it.
    for (std::size_t i = 0; i < fw.form->controls.size(); ++i)
      if (fw.form->controls[i].isCancel && fw.form->controls[i].enabled) {
        onCommand(fw, kFirstControlId + static_cast<int>(i), BN_CLICKED);
        break;
      }
    fw.form->close(ModalResult::Cancel);
    return;
  }
  syncState(fw);
  Control& c = fw.form->controls[index];
  bool changed = (c.kind == ControlKind::ComboBox && code == CBN_SELCHANGE) ||
                 (c.kind == ControlKind::ListBox && code == LBN_SELCHANGE);
  if (changed && c.onChange) c.onChange();
  if (!changed && code == BN_CLICKED) {
    if (c.onClick) c.onClick();
    ModalResult result = fw.form->controls[index].modalResult;
    if (result != ModalResult::None && fw.form->modalResult == ModalResult::None)
      fw.form->modalResult = result;
  }
}

LRESULT CALLBACK formProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* fw = reinterpret_cast<FormWindow*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  } else if (fw != nullptr) {
    switch (message) {
      case WM_COMMAND:
        onCommand(*fw, LOWORD(wParam), HIWORD(wParam));
        return 0;
      case WM_CLOSE:
        if (fw->form->modalResult == ModalResult::None) fw->form->modalResult = ModalResult::Cancel;
        return 0;
      case WM_SHOWWINDOW:
        if (wParam && fw->form->onShow) fw->form->onShow();
        break;
      case WM_PAINT:
        if (fw->form->onPaint) fw->form->onPaint();
        break;
      default:
        break;
    }
  }
  return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

void registerFormClass(HINSTANCE instance) {
  WNDCLASSA wc{};
  if (::GetClassInfoA(instance, kFormClass, &wc)) return;
  wc.lpfnWndProc = formProc;
  wc.hInstance = instance;
  wc.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kFormClass;
  ::RegisterClassA(&wc);
}

HWND createControl(HWND parent, HINSTANCE instance, const Control& c, int id) {
  const char* cls = "STATIC";
  DWORD style = WS_CHILD | WS_VISIBLE;
  switch (c.kind) {
    case ControlKind::Button:
    case ControlKind::SpeedButton:
    case ControlKind::LinkButton:
      cls = "BUTTON";
      style |= WS_TABSTOP | (c.isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
      break;
    case ControlKind::CheckBox:
      cls = "BUTTON";
      style |= WS_TABSTOP | BS_AUTOCHECKBOX;
      break;
    case ControlKind::ComboBox:
      cls = "COMBOBOX";
      style |= WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
      break;
    case ControlKind::ListBox:
      cls = "LISTBOX";
      style |= WS_TABSTOP | WS_VSCROLL | WS_BORDER | LBS_NOTIFY;
      break;
    case ControlKind::Label:
    case ControlKind::Image:
      break;
  }
  if (!c.visible) style &= ~static_cast<DWORD>(WS_VISIBLE);
  int height = c.kind == ControlKind::ComboBox ? c.height + 200 : c.height;
  HWND h = ::CreateWindowExA(0, cls, c.caption.c_str(), style, c.left, c.top, c.width, height, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
  if (h == nullptr) return nullptr;
  ::SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  UINT add = c.kind == ControlKind::ComboBox ? CB_ADDSTRING : LB_ADDSTRING;
  UINT select = c.kind == ControlKind::ComboBox ? CB_SETCURSEL : LB_SETCURSEL;
  if (c.kind == ControlKind::ComboBox || c.kind == ControlKind::ListBox) {
    for (const auto& item : c.items) ::SendMessageA(h, add, 0, reinterpret_cast<LPARAM>(item.c_str()));
    ::SendMessageA(h, select, static_cast<WPARAM>(c.itemIndex), 0);
  }
  if (c.kind == ControlKind::CheckBox)
    ::SendMessageA(h, BM_SETCHECK, c.checked ? BST_CHECKED : BST_UNCHECKED, 0);
  ::EnableWindow(h, c.enabled);
  return h;
}

}  // namespace

MessageAnswer messageBox(const std::string& text, const std::string& caption, MessageButtons buttons) {
  UINT type = buttons == MessageButtons::Ok ? MB_OK : MB_YESNO;
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

ModalResult showModal(Form& form) {
  HINSTANCE instance = static_cast<HINSTANCE>(ownModule());
  registerFormClass(instance);
  form.modalResult = ModalResult::None;
  FormWindow fw{&form, {}};
  HWND owner = ::GetActiveWindow();
  RECT frame{0, 0, form.width, form.height};
  DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
  ::AdjustWindowRectEx(&frame, style, FALSE, WS_EX_DLGMODALFRAME);
  HWND hwnd = ::CreateWindowExA(WS_EX_DLGMODALFRAME, kFormClass, form.caption.c_str(), style, CW_USEDEFAULT,
                                CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top, owner,
                                nullptr, instance, &fw);
  if (hwnd == nullptr) return ModalResult::Cancel;
  for (std::size_t i = 0; i < form.controls.size(); ++i)
    fw.controls.push_back(
        createControl(hwnd, instance, form.controls[i], kFirstControlId + static_cast<int>(i)));
  ::SendMessageA(hwnd, WM_INITDIALOG, 0, 0);
  if (owner != nullptr) ::EnableWindow(owner, FALSE);
  ::ShowWindow(hwnd, SW_SHOW);
  MSG msg;
  while (form.modalResult == ModalResult::None) {
    BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
    if (got <= 0) {
      if (got == 0) ::PostQuitMessage(static_cast<int>(msg.wParam));
      form.modalResult = ModalResult::Cancel;
      break;
    }
    if (!::IsDialogMessageA(hwnd, &msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageA(&msg);
    }
  }
  syncState(fw);
  if (owner != nullptr) ::EnableWindow(owner, TRUE);
  ::DestroyWindow(hwnd);
  if (owner != nullptr) ::SetActiveWindow(owner);
  return form.modalResult;
}

}  // namespace icofmt::platform
