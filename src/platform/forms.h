#pragma once
// Modal forms. A form is a plain object: controls with kind, name, position,
// caption and state, and handlers. A runtime shows it: real windows on Windows,
// a scripted runtime on POSIX that plays user actions (scripted.h).
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace icofmt::platform {

enum class ControlKind { Button, CheckBox, ComboBox, ListBox, Label };
enum class ModalResult { None, Ok, Cancel, Yes, No };

struct Control {
  ControlKind kind = ControlKind::Button;
  std::string name;
  std::string caption;
  int left = 0, top = 0, width = 75, height = 25;
  bool checked = false;
  bool enabled = true;
  std::vector<std::string> items;
  int itemIndex = -1;
  // The ticked lines of a list whose lines have check boxes.
  std::vector<bool> itemChecked;
  // A button with a result closes the form with it after its click handler.
  ModalResult modalResult = ModalResult::None;
  std::function<void()> onClick;
  std::function<void()> onChange;
};

class Form {
 public:
  std::string caption;
  int width = 320, height = 240;
  std::vector<Control> controls;
  std::function<void()> onShow;
  std::function<void()> onPaint;
  ModalResult modalResult = ModalResult::None;

  Control& add(Control control) { return controls.emplace_back(std::move(control)); }
  Control* find(std::string_view name) {
    for (auto& c : controls)
      if (c.name == name) return &c;
    return nullptr;
  }
};

// Shows the form modally on the current thread and returns how it closed.
ModalResult showModal(Form& form);

}  // namespace icofmt::platform
