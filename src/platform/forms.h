#pragma once
// Modal forms. A form is a plain object: controls with kind, name, position,
// caption and state, and handlers. A runtime shows it: real windows on Windows,
// a scripted runtime on POSIX that plays user actions (scripted.h). The
// handlers change the model; the runtime shows what the model holds.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace icofmt::platform {

// SpeedButton: a flat button with a glyph (the about buttons); LinkButton: a
// flat button drawn as a link (bold, underlined, navy, hand cursor).
enum class ControlKind { Button, CheckBox, ComboBox, ListBox, Label, Image, SpeedButton, LinkButton };
enum class ModalResult { None, Ok, Cancel, Yes, No };

// Which edges of the form a control keeps its distance to when the form is
// resized.
enum Anchor : unsigned { kAnchorLeft = 1, kAnchorTop = 2, kAnchorRight = 4, kAnchorBottom = 8 };

// A picture the program drew itself: 24-bit pixels, top row first, three
// bytes per pixel in the order blue, green, red, no row padding. Both
// runtimes show exactly these pixels, so a preview looks the same everywhere.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> bgr;
  bool empty() const { return width <= 0 || height <= 0; }
};

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
  bool operator==(const Rect&) const = default;
};

struct Control {
  ControlKind kind = ControlKind::Button;
  std::string name;
  std::string caption;
  int left = 0, top = 0, width = 75, height = 25;
  bool checked = false;
  bool enabled = true;
  bool visible = true;
  std::string hint;   // shown as a tool tip
  int tabOrder = -1;  // -1: not a tab stop
  unsigned anchors = kAnchorLeft | kAnchorTop;
  bool wordWrap = false;  // labels
  // Labels and link buttons: the runtime that draws them sets the width to
  // that of the caption (on Windows; the portable runtime keeps the width).
  bool autoSize = false;
  // Labels: a path on one line, its middle shortened with an ellipsis when it
  // does not fit, so that the file name stays in sight.
  bool pathEllipsis = false;
  // Lists: the lines, the selected one (-1: none), and for a list whose lines
  // have check boxes (checkBoxes) the ticked ones.
  std::vector<std::string> items;
  int itemIndex = -1;
  bool checkBoxes = false;
  std::vector<bool> itemChecked;
  // Images: the picture, scaled to the control's size when stretch is set,
  // otherwise drawn at its own size from the top-left and cut off. Speed
  // buttons: their glyph, drawn centred instead of the caption.
  Picture picture;
  bool stretch = false;
  // A button with a result closes the form with it after its click handler.
  ModalResult modalResult = ModalResult::None;
  // Escape clicks the form's cancel button; Enter clicks its default button.
  bool isCancel = false;
  bool isDefault = false;
  std::function<void()> onClick;
  std::function<void()> onChange;
};

// A control of the kind with its name, caption and position.
Control makeControl(ControlKind kind, std::string name, std::string caption, int left, int top, int width,
                    int height);

// The system's button-face colour as 0x00BBGGRR, the background of every form.
std::uint32_t faceColour();

class Form {
 public:
  std::string caption;
  // The client area; the runtime adds the frame. A form whose layout is
  // given in window heights (heightIncludesFrame) counts the caption and
  // borders in its height, so the frame takes its share from the client.
  int width = 320, height = 240;
  bool heightIncludesFrame = false;
  // Screen position of the window; -1 lets the runtime centre it.
  int left = -1, top = -1;
  std::string fontName = "MS Sans Serif";
  int fontHeight = 11;  // pixels
  bool resizable = false;
  std::vector<Control> controls;
  // One-pixel black frames the form draws on its face at every paint.
  std::vector<Rect> frames;
  // Free for the form's own use (a first-paint flag, say).
  int tag = 0;
  std::function<void()> onShow;
  std::function<void()> onActivate;
  std::function<void()> onPaint;
  ModalResult modalResult = ModalResult::None;

  Control& add(Control control) { return controls.emplace_back(std::move(control)); }
  Control* find(std::string_view name) {
    for (auto& c : controls)
      if (c.name == name) return &c;
    return nullptr;
  }
  // Asks the runtime to paint the form again (runs onPaint).
  void repaint() {
    if (onPaint) onPaint();
  }
  void close(ModalResult result) {
    if (modalResult == ModalResult::None) modalResult = result;
  }
};

// Shows the form modally on the current thread and returns how it closed.
ModalResult showModal(Form& form);

}  // namespace icofmt::platform
