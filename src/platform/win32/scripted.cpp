// The scripted user on Windows. A thread timer fires from whichever modal loop
// runs (ours, a message box's, another module's), finds the window that waits
// for the user and posts the next action to its controls, as a user's mouse
// and keyboard would reach them. Posted messages are taken before the timer
// fires again, so each action has landed before the next is chosen.
#include "platform/scripted.h"

#include <windows.h>

#include <deque>
#include <set>

#include "platform/win32/form_messages.h"

namespace icofmt::platform::scripted {

namespace {

constexpr UINT kTickMs = 20;

struct Driver {
  std::deque<UserAction> actions;
  std::deque<MessageAnswer> answers;
  bool confirm = false;
  std::vector<MessageBoxRecord> boxes;
  std::set<HWND> answeredBoxes;
  std::vector<std::string> forms;
  std::set<HWND> drivenWindows;
  std::function<void(void*)> inspector;
  UINT_PTR timer = 0;
  bool busy = false;
};

Driver& driver() {
  static Driver d;
  return d;
}

std::string className(HWND h) {
  char name[64] = {};
  ::GetClassNameA(h, name, sizeof name);
  return name;
}

std::string text(HWND h) {
  int length = ::GetWindowTextLengthA(h);
  if (length <= 0) return {};
  std::string s(static_cast<std::size_t>(length) + 1, '\0');
  int n = ::GetWindowTextA(h, s.data(), length + 1);
  s.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return s;
}

BOOL CALLBACK collect(HWND h, LPARAM list) {
  if (::IsWindowVisible(h) && ::IsWindowEnabled(h)) reinterpret_cast<std::vector<HWND>*>(list)->push_back(h);
  return TRUE;
}

// The enabled window of ours or a message box: the one the user faces. A
// form that opened a box or a nested form is disabled meanwhile.
HWND waitingWindow() {
  std::vector<HWND> windows;
  ::EnumThreadWindows(::GetCurrentThreadId(), collect, reinterpret_cast<LPARAM>(&windows));
  for (HWND h : windows) {
    std::string cls = className(h);
    if (cls == "#32770" || cls == win32::kFormClass) return h;
  }
  return nullptr;
}

BOOL CALLBACK findQuestionIcon(HWND child, LPARAM found) {
  // The system's icons are shared: a box shows the very handle LoadIcon gives.
  if (::SendMessageA(child, STM_GETICON, 0, 0) ==
      reinterpret_cast<LRESULT>(::LoadIcon(nullptr, IDI_QUESTION)))
    *reinterpret_cast<bool*>(found) = true;
  return TRUE;
}

MessageIcon iconOf(HWND box) {
  bool question = false;
  ::EnumChildWindows(box, findQuestionIcon, reinterpret_cast<LPARAM>(&question));
  return question ? MessageIcon::Question : MessageIcon::None;
}

void click(HWND button) {
  if (button != nullptr) ::PostMessageA(button, BM_CLICK, 0, 0);
}

void answerBox(Driver& d, HWND box) {
  if (!d.answeredBoxes.insert(box).second) return;
  HWND yes = ::GetDlgItem(box, IDYES);
  MessageButtons buttons = yes != nullptr ? MessageButtons::YesNo : MessageButtons::Ok;
  d.boxes.push_back({text(::GetDlgItem(box, 0xFFFF)), text(box), buttons, iconOf(box)});
  if (buttons == MessageButtons::Ok) {
    click(::GetDlgItem(box, IDOK));
    return;
  }
  MessageAnswer answer = MessageAnswer::Yes;
  if (!d.answers.empty()) {
    answer = d.answers.front();
    d.answers.pop_front();
  }
  click(::GetDlgItem(box, answer == MessageAnswer::No ? IDNO : IDYES));
}

void pressEscape(HWND form) {
  HWND focus = ::GetFocus();
  HWND target = focus != nullptr && ::IsChild(form, focus) ? focus : form;
  ::PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, 1);
  ::PostMessageA(target, WM_KEYUP, VK_ESCAPE, static_cast<LPARAM>(0xC0000001u));
}

void play(HWND form, const UserAction& action) {
  using Kind = UserAction::Kind;
  if (action.kind == Kind::Escape) {
    pressEscape(form);
    return;
  }
  auto control = reinterpret_cast<HWND>(
      ::SendMessageA(form, win32::findControlMessage(), 0, reinterpret_cast<LPARAM>(action.control.c_str())));
  if (control == nullptr || !::IsWindowVisible(control) || !::IsWindowEnabled(control)) return;
  const WPARAM id = static_cast<WPARAM>(::GetDlgCtrlID(control));
  const std::string cls = className(control);
  switch (action.kind) {
    case Kind::Click:
      click(control);
      break;
    case Kind::Check:
    case Kind::Uncheck:
      if ((::SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED) != (action.kind == Kind::Check))
        click(control);
      break;
    case Kind::Select:
      if (lstrcmpiA(cls.c_str(), "ComboBox") == 0) {
        if (action.index >= -1 && action.index < ::SendMessageA(control, CB_GETCOUNT, 0, 0)) {
          ::SendMessageA(control, CB_SETCURSEL, static_cast<WPARAM>(action.index), 0);
          ::PostMessageA(form, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(control));
        }
      } else if (action.index >= -1 && action.index < ::SendMessageA(control, LB_GETCOUNT, 0, 0)) {
        ::SendMessageA(control, LB_SETCURSEL, static_cast<WPARAM>(action.index), 0);
        ::PostMessageA(form, WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE), reinterpret_cast<LPARAM>(control));
      }
      break;
    case Kind::CheckItem: {
      RECT line;
      if (action.index < 0 ||
          ::SendMessageA(control, LB_GETITEMDATA, static_cast<WPARAM>(action.index), 0) != 0)
        break;
      // A line scrolled out of sight is brought in first, as a user would.
      ::SendMessageA(control, LB_SETTOPINDEX, static_cast<WPARAM>(action.index), 0);
      if (::SendMessageA(control, LB_GETITEMRECT, static_cast<WPARAM>(action.index),
                         reinterpret_cast<LPARAM>(&line)) == LB_ERR)
        break;
      LPARAM at = MAKELPARAM(win32::kCheckBoxWidth / 2, (line.top + line.bottom) / 2);
      ::PostMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, at);
      ::PostMessageA(control, WM_LBUTTONUP, 0, at);
      break;
    }
    case Kind::Escape:
      break;
  }
}

void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
  Driver& d = driver();
  if (d.busy) return;
  d.busy = true;
  if (HWND w = waitingWindow()) {
    if (className(w) == "#32770") {
      answerBox(d, w);
    } else {
      if (d.inspector) d.inspector(w);
      if (d.drivenWindows.insert(w).second) d.forms.push_back(text(w));
      if (!d.actions.empty()) {
        UserAction action = d.actions.front();
        d.actions.pop_front();
        play(w, action);
      } else if (d.confirm) {
        HWND ok = reinterpret_cast<HWND>(::SendMessageA(w, win32::confirmButtonMessage(), 0, 0));
        if (ok != nullptr)
          click(ok);
        else
          ::PostMessageA(w, WM_CLOSE, 0, 0);
      } else {
        pressEscape(w);
      }
    }
  }
  d.busy = false;
}

void start() {
  Driver& d = driver();
  if (d.timer == 0) d.timer = ::SetTimer(nullptr, 0, kTickMs, tick);
}

}  // namespace

void setUserActions(std::vector<UserAction> actions) {
  driver().actions.assign(actions.begin(), actions.end());
  start();
}

void setConfirmUnscripted(bool confirm) {
  driver().confirm = confirm;
  start();
}

void setMessageAnswers(std::vector<MessageAnswer> answers) {
  driver().answers.assign(answers.begin(), answers.end());
  start();
}

void setWindowInspector(std::function<void(void*)> inspector) {
  driver().inspector = std::move(inspector);
  start();
}

const std::vector<MessageBoxRecord>& messageBoxes() { return driver().boxes; }
const std::vector<std::string>& drivenForms() { return driver().forms; }

void stop() {
  Driver& d = driver();
  if (d.timer != 0) ::KillTimer(nullptr, d.timer);
  d.timer = 0;
}

void reset() {
  stop();
  Driver& d = driver();
  d.actions.clear();
  d.answers.clear();
  d.boxes.clear();
  d.answeredBoxes.clear();
  d.forms.clear();
  d.drivenWindows.clear();
  d.confirm = false;
  d.inspector = nullptr;
}

}  // namespace icofmt::platform::scripted
