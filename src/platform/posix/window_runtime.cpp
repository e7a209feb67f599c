// The in-process window runtime that stands in for the system's user library
// on POSIX: windows with captions and children, hooks that see sent messages,
// a posted-message queue emptied by the modal loop, and scripted users.
#include <algorithm>
#include <cctype>
#include <deque>
#include <map>
#include <memory>

#include "platform/forms.h"
#include "platform/message_box.h"
#include "platform/scripted.h"
#include "platform/windowing.h"

namespace icofmt::platform {

namespace {

struct Window {
  std::string className;
  std::string caption;
  Window* parent = nullptr;
  std::vector<Window*> children;
  Form* form = nullptr;
  int control = -1;  // index into form->controls, or -1 for the form itself
};

struct Hook {
  HookProc proc;
};

struct Posted {
  Window* window;
  unsigned message;
  std::uintptr_t wParam;
  std::intptr_t lParam;
};

struct Runtime {
  std::vector<std::unique_ptr<Window>> windows;
  std::vector<std::unique_ptr<Hook>> hooks;  // most recent first
  std::deque<Posted> posted;
  std::deque<scripted::UserAction> actions;
  std::deque<MessageAnswer> answers;
  std::vector<scripted::MessageBoxRecord> boxes;
  std::vector<scripted::FormRecord> forms;
  std::map<unsigned, int> deliveredPosts;
  bool confirmUnscripted = false;
  std::function<void(Form&)> inspector;
  std::vector<std::string> webPages;
};

Runtime& rt() {
  static Runtime runtime;
  return runtime;
}

Window* live(WindowHandle handle) {
  for (auto& w : rt().windows)
    if (w.get() == handle) return w.get();
  return nullptr;
}

std::size_t hookIndex(HookHandle hook) {
  auto& hooks = rt().hooks;
  for (std::size_t i = 0; i < hooks.size(); ++i)
    if (hooks[i].get() == hook) return i;
  return hooks.size();
}

void closeForm(Form& form, ModalResult result) { form.close(result); }

void clickControl(Form& form, int index) {
  // Handlers may add controls; work on the index, not a reference.
  if (index < 0 || static_cast<std::size_t>(index) >= form.controls.size()) return;
  if (!form.controls[index].enabled || !form.controls[index].visible) return;
  if (form.controls[index].kind == ControlKind::CheckBox)
    form.controls[index].checked = !form.controls[index].checked;
  if (auto click = form.controls[index].onClick) click();
  ModalResult result = form.controls[index].modalResult;
  if (result != ModalResult::None) closeForm(form, result);
}

// The window procedure of the runtime's windows.
void windowProc(Window& w, unsigned message) {
  if (w.form == nullptr) return;
  if (w.control >= 0) {
    if (message == kBmClick) clickControl(*w.form, w.control);
    return;
  }
  if (message == kWmPaint && w.form->onPaint) w.form->onPaint();
  if (message == kWmShowWindow && w.form->onShow) w.form->onShow();
  if (message == kWmActivate && w.form->onActivate) w.form->onActivate();
  if (message == kWmClose) closeForm(*w.form, ModalResult::Cancel);
}

// Sending runs the installed hooks first, as the system does.
void sendMessage(Window& w, unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
  CallWndProcInfo info{lParam, wParam, message, &w};
  if (!rt().hooks.empty()) {
    // The first hook decides whether the rest of the chain runs.
    rt().hooks.front()->proc(0, 0, reinterpret_cast<std::intptr_t>(&info));
  }
  if (live(&w) != nullptr) windowProc(w, message);
}

void playAction(Form& form, const scripted::UserAction& action) {
  using Kind = scripted::UserAction::Kind;
  if (action.kind == Kind::Escape) {
    // Escape works the cancel button even where the user cannot see it.
    for (std::size_t i = 0; i < form.controls.size(); ++i)
      if (form.controls[i].isCancel && form.controls[i].enabled) {
        clickControl(form, static_cast<int>(i));
        break;
      }
    closeForm(form, ModalResult::Cancel);
    return;
  }
  Control* control = form.find(action.control);
  if (control == nullptr || !control->enabled || !control->visible) return;
  int index = static_cast<int>(control - form.controls.data());
  switch (action.kind) {
    case Kind::Click:
      clickControl(form, index);
      break;
    case Kind::Check:
    case Kind::Uncheck:
      if (control->checked != (action.kind == Kind::Check)) clickControl(form, index);
      break;
    case Kind::Select:
      if (action.index >= -1 && action.index < static_cast<int>(control->items.size())) {
        control->itemIndex = action.index;
        if (auto change = control->onChange) change();
      }
      break;
    case Kind::CheckItem:
      if (action.index >= 0 && action.index < static_cast<int>(control->items.size())) {
        control->itemChecked.resize(control->items.size(), false);
        control->itemChecked[static_cast<std::size_t>(action.index)] = true;
        if (auto change = control->onChange) change();
      }
      break;
    case Kind::Escape:
      break;
  }
}

void confirmForm(Form& form) {
  for (std::size_t i = 0; i < form.controls.size(); ++i) {
    const Control& c = form.controls[i];
    if (c.kind == ControlKind::Button && c.enabled && c.modalResult == ModalResult::Ok) {
      clickControl(form, static_cast<int>(i));
      break;
    }
  }
  closeForm(form, ModalResult::Ok);
}

std::string windowClass(ControlKind kind) {
  switch (kind) {
    case ControlKind::Button:
    case ControlKind::CheckBox:
    case ControlKind::SpeedButton:
    case ControlKind::LinkButton:
      return "Button";
    case ControlKind::ComboBox:
      return "ComboBox";
    case ControlKind::ListBox:
      return "ListBox";
    case ControlKind::Label:
    case ControlKind::Image:
      break;
  }
  return "Static";
}

}  // namespace

MessageAnswer messageBox(const std::string& text, const std::string& caption, MessageButtons buttons,
                         MessageIcon icon) {
  rt().boxes.push_back({text, caption, buttons, icon});
  if (buttons == MessageButtons::Ok) return MessageAnswer::Ok;
  if (rt().answers.empty()) return MessageAnswer::Yes;
  MessageAnswer answer = rt().answers.front();
  rt().answers.pop_front();
  return answer;
}

void openWebPage(const std::string& url) { rt().webPages.push_back(url); }

std::uint32_t faceColour() { return 0x00F0F0F0; }

HookHandle installCallWndProcHook(HookProc proc, ModuleHandle) {
  if (proc == nullptr) return nullptr;
  auto& hooks = rt().hooks;
  hooks.insert(hooks.begin(), std::make_unique<Hook>(Hook{proc}));
  return hooks.front().get();
}

bool removeHook(HookHandle hook) {
  auto& hooks = rt().hooks;
  std::size_t i = hookIndex(hook);
  if (i == hooks.size()) return false;
  hooks.erase(hooks.begin() + static_cast<std::ptrdiff_t>(i));
  return true;
}

std::intptr_t callNextHook(HookHandle hook, int code, std::uintptr_t wParam, std::intptr_t lParam) {
  auto& hooks = rt().hooks;
  std::size_t i = hookIndex(hook);
  if (i + 1 >= hooks.size()) return 0;
  return hooks[i + 1]->proc(code, wParam, lParam);
}

std::string windowCaption(WindowHandle window, std::size_t maxChars) {
  Window* w = live(window);
  if (w == nullptr) return {};
  return w->caption.substr(0, maxChars);
}

WindowHandle findChildWindow(WindowHandle parent, const char* className, const char* caption) {
  Window* p = live(parent);
  if (p == nullptr) return nullptr;
  for (Window* child : p->children) {
    bool classOk = className == nullptr || std::equal(child->className.begin(), child->className.end(),
                                                      std::string_view(className).begin(),
                                                      std::string_view(className).end(), [](char a, char b) {
                                                        return std::tolower(static_cast<unsigned char>(a)) ==
                                                               std::tolower(static_cast<unsigned char>(b));
                                                      });
    bool captionOk = caption == nullptr || child->caption == caption;
    if (classOk && captionOk) return child;
  }
  return nullptr;
}

bool postMessage(WindowHandle window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
  Window* w = live(window);
  if (w == nullptr) return false;
  rt().posted.push_back({w, message, wParam, lParam});
  return true;
}

ModalResult showModal(Form& form) {
  auto& r = rt();
  form.modalResult = ModalResult::None;
  std::vector<Window*> mine;
  r.windows.push_back(std::make_unique<Window>(Window{"#32770", form.caption, nullptr, {}, &form, -1}));
  Window* top = r.windows.back().get();
  mine.push_back(top);
  for (std::size_t i = 0; i < form.controls.size(); ++i) {
    const Control& c = form.controls[i];
    r.windows.push_back(std::make_unique<Window>(
        Window{windowClass(c.kind), c.caption, top, {}, &form, static_cast<int>(i)}));
    top->children.push_back(r.windows.back().get());
    mine.push_back(r.windows.back().get());
  }

  sendMessage(*top, kWmInitDialog, 0, 0);
  if (form.modalResult == ModalResult::None) sendMessage(*top, kWmShowWindow, 1, 0);
  if (form.modalResult == ModalResult::None) sendMessage(*top, kWmActivate, 1, 0);
  if (form.modalResult == ModalResult::None) sendMessage(*top, kWmPaint, 0, 0);

  bool unscripted = false;
  while (form.modalResult == ModalResult::None) {
    if (!r.posted.empty()) {
      Posted p = r.posted.front();
      r.posted.pop_front();
      if (live(p.window) == nullptr) continue;
      ++r.deliveredPosts[p.message];
      windowProc(*p.window, p.message);
    } else if (!r.actions.empty()) {
      if (r.inspector) r.inspector(form);
      scripted::UserAction action = r.actions.front();
      r.actions.pop_front();
      playAction(form, action);
    } else {
      // A real user would still be looking at the form; a test has no one left.
      unscripted = true;
      if (r.inspector) r.inspector(form);
      if (r.confirmUnscripted)
        confirmForm(form);
      else
        form.modalResult = ModalResult::Cancel;
    }
  }

  // Messages still queued for this form die with its windows.
  std::erase_if(r.posted,
                [&](const Posted& p) { return std::find(mine.begin(), mine.end(), p.window) != mine.end(); });
  std::erase_if(r.windows, [&](const std::unique_ptr<Window>& w) {
    return std::find(mine.begin(), mine.end(), w.get()) != mine.end();
  });
  r.forms.push_back({form.caption, form.modalResult, unscripted});
  return form.modalResult;
}

namespace scripted {

void setUserActions(std::vector<UserAction> actions) { rt().actions.assign(actions.begin(), actions.end()); }

void setConfirmUnscripted(bool confirm) { rt().confirmUnscripted = confirm; }

void setMessageAnswers(std::vector<MessageAnswer> answers) {
  rt().answers.assign(answers.begin(), answers.end());
}

const std::vector<MessageBoxRecord>& messageBoxes() { return rt().boxes; }
const std::vector<FormRecord>& shownForms() { return rt().forms; }

int deliveredPosts(unsigned message) {
  auto it = rt().deliveredPosts.find(message);
  return it == rt().deliveredPosts.end() ? 0 : it->second;
}

void setInspector(std::function<void(Form&)> inspector) { rt().inspector = std::move(inspector); }

const std::vector<std::string>& openedWebPages() { return rt().webPages; }

int installedHooks() { return static_cast<int>(rt().hooks.size()); }

void reset() {
  auto& r = rt();
  r.posted.clear();
  r.actions.clear();
  r.answers.clear();
  r.boxes.clear();
  r.forms.clear();
  r.deliveredPosts.clear();
  r.confirmUnscripted = false;
  r.inspector = nullptr;
  r.webPages.clear();
}

}  // namespace scripted

}  // namespace icofmt::platform
