// Shows the module's forms as real windows, driven by the scripted user, and
// checks what the windows are against the form objects: client sizes, control
// places and captions (GetWindowRect/GetClientRect), tab order, Escape and the
// cancel buttons, tool tips. Saves a picture of each form for comparison with
// the reference images.
//   forms_check SAMPLE.ico SHOTS_DIR
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <algorithm>
#include <string>

#include "check.h"
#include "open/form_select.h"
#include "open/sub_image_export.h"
#include "pixels/png_image.h"
#include "platform/files.h"
#include "platform/scripted.h"
#include "platform/win32/form_messages.h"
#include "save/options_form.h"
#include "ui/about_box.h"

using namespace icofmt;
using platform::ControlKind;
using platform::Form;
using platform::ModalResult;
namespace scripted = platform::scripted;
using Action = scripted::UserAction;

namespace {

HWND controlWindow(HWND form, const std::string& name) {
  return reinterpret_cast<HWND>(
      ::SendMessageA(form, platform::win32::findControlMessage(), 0, reinterpret_cast<LPARAM>(name.c_str())));
}

std::string text(HWND h) {
  char buffer[1024] = {};
  ::GetWindowTextA(h, buffer, sizeof buffer);
  return buffer;
}

void checkGeometry(const Form& form, HWND hwnd) {
  RECT client{};
  ::GetClientRect(hwnd, &client);
  RECT outer{};
  ::GetWindowRect(hwnd, &outer);
  const long height = form.heightIncludesFrame ? outer.bottom - outer.top : client.bottom;
  WCHECK(client.right == form.width && height == form.height, "%s: client %ldx%ld, form %dx%d",
         form.caption.c_str(), client.right, height, form.width, form.height);
  if (form.left >= 0)
    WCHECK(outer.left == form.left && outer.top == form.top, "%s: window at %ld,%ld, form at %d,%d",
           form.caption.c_str(), outer.left, outer.top, form.left, form.top);
  WCHECK(text(hwnd) == form.caption, "%s: window caption \"%s\"", form.caption.c_str(), text(hwnd).c_str());
  for (const auto& c : form.controls) {
    HWND h = controlWindow(hwnd, c.name);
    WCHECK(h != nullptr, "%s: no window for %s", form.caption.c_str(), c.name.c_str());
    if (h == nullptr) continue;
    RECT r{};
    ::GetWindowRect(h, &r);
    ::MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&r), 2);
    WCHECK(r.left == c.left && r.top == c.top && r.right - r.left == c.width && r.bottom - r.top == c.height,
           "%s: %s at %ld,%ld %ldx%ld, model %d,%d %dx%d", form.caption.c_str(), c.name.c_str(), r.left,
           r.top, r.right - r.left, r.bottom - r.top, c.left, c.top, c.width, c.height);
    WCHECK(((::GetWindowLongA(h, GWL_STYLE) & WS_VISIBLE) != 0) == c.visible, "%s: %s visibility",
           form.caption.c_str(), c.name.c_str());
    WCHECK((::IsWindowEnabled(h) != 0) == c.enabled, "%s: %s enabled state", form.caption.c_str(),
           c.name.c_str());
    if (c.kind != ControlKind::ComboBox && c.kind != ControlKind::ListBox && c.kind != ControlKind::Image)
      WCHECK(text(h) == c.caption, "%s: %s shows \"%s\", model \"%s\"", form.caption.c_str(), c.name.c_str(),
             text(h).c_str(), c.caption.c_str());
    if (c.kind == ControlKind::ComboBox) {
      WCHECK(::SendMessageA(h, CB_GETCOUNT, 0, 0) == static_cast<LRESULT>(c.items.size()) &&
                 ::SendMessageA(h, CB_GETCURSEL, 0, 0) == c.itemIndex,
             "%s: %s items or selection", form.caption.c_str(), c.name.c_str());
    }
    if (c.kind == ControlKind::LinkButton) {
      ::SendMessageA(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(h), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
      WCHECK(::GetCursor() == ::LoadCursor(nullptr, IDC_HAND), "%s: %s shows no hand", form.caption.c_str(),
             c.name.c_str());
    }
    if (c.kind == ControlKind::CheckBox)
      WCHECK((::SendMessageA(h, BM_GETCHECK, 0, 0) == BST_CHECKED) == c.checked, "%s: %s tick",
             form.caption.c_str(), c.name.c_str());
  }
}

// Tab walks the enabled, visible tab stops in the order the model lists.
void checkTabOrder(const Form& form, HWND hwnd) {
  std::vector<const platform::Control*> stops;
  for (const auto& c : form.controls)
    if (c.tabOrder >= 0 && c.enabled && c.visible) stops.push_back(&c);
  std::stable_sort(stops.begin(), stops.end(), [](auto a, auto b) { return a->tabOrder < b->tabOrder; });
  for (std::size_t i = 0; i < stops.size(); ++i) {
    HWND from = controlWindow(hwnd, stops[i]->name);
    HWND next = ::GetNextDlgTabItem(hwnd, from, FALSE);
    const auto* expected = stops[(i + 1) % stops.size()];
    WCHECK(next == controlWindow(hwnd, expected->name), "%s: tab from %s does not reach %s",
           form.caption.c_str(), stops[i]->name.c_str(), expected->name.c_str());
  }
}

int toolCount(HWND form) {
  int count = 0;
  HWND tip = nullptr;
  while ((tip = ::FindWindowExA(nullptr, tip, TOOLTIPS_CLASSA, nullptr)) != nullptr)
    if (::GetWindow(tip, GW_OWNER) == form)
      count += static_cast<int>(::SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0));
  return count;
}

// The window as drawn, frame included, as PNG.
void screenshot(HWND hwnd, const std::string& path) {
  ::RedrawWindow(hwnd, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
  RECT r{};
  ::GetWindowRect(hwnd, &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  HDC source = ::GetWindowDC(hwnd);
  HDC memory = ::CreateCompatibleDC(source);
  HBITMAP bitmap = ::CreateCompatibleBitmap(source, w, h);
  HGDIOBJ old = ::SelectObject(memory, bitmap);
  ::BitBlt(memory, 0, 0, w, h, source, 0, 0, SRCCOPY);
  ::SelectObject(memory, old);
  auto pixels = wintest::pixelsOf(bitmap, w, h);
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(hwnd, source);
  WCHECK(!pixels.empty(), "no picture of %s", path.c_str());
  if (pixels.empty()) return;
  PngImage png;
  png.Create(w, h, PngColourType::Rgb);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint32_t p =
          pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)];
      std::uint8_t* out = png.Row(y) + 3 * x;
      out[0] = static_cast<std::uint8_t>(p >> 16);
      out[1] = static_cast<std::uint8_t>(p >> 8);
      out[2] = static_cast<std::uint8_t>(p);
    }
  png.SaveToFile(path);
}

// Checks the form's windows before every action; pictures the form at the
// inspections listed in shots (by number from 0).
struct Inspection {
  Form* form;
  std::vector<std::pair<int, std::string>> shots;
  int count = 0;
  int tools = -1;
  std::vector<std::string> driven = {};  // captions of every form the user met
  void operator()(void* window) {
    HWND hwnd = static_cast<HWND>(window);
    if (text(hwnd) != form->caption) return;
    checkGeometry(*form, hwnd);
    checkTabOrder(*form, hwnd);
    tools = toolCount(hwnd);
    for (const auto& [at, path] : shots)
      if (at == count) screenshot(hwnd, path);
    ++count;
  }
};

template <typename Show>
ModalResult drive(Form& form, std::vector<Action> actions, Inspection& inspection, Show show) {
  scripted::reset();
  scripted::setWindowInspector([&](void* w) { inspection(w); });
  scripted::setUserActions(std::move(actions));
  ModalResult result = show();
  inspection.driven = scripted::drivenForms();
  scripted::reset();
  WCHECK(inspection.count > 0, "%s was never inspected", form.caption.c_str());
  return result;
}

void selectionForm(const std::string& icon, const std::string& shots) {
  const auto descriptions = open::listSubImages(icon);
  {
    // Escape reaches the cancel button that lies outside the form.
    open::TFormSelect select(icon, descriptions);
    Inspection seen{&select.form(), {{0, shots + "/select.png"}}};
    ModalResult r =
        drive(select.form(), {{Action::Kind::Select, "ComboBox1", 2}, {Action::Kind::Escape, "", -1}}, seen,
              [&] { return select.ShowModal(); });
    WCHECK(r == ModalResult::Cancel && select.chosenIndex() == 0, "Escape: result %d, chosen %d",
           static_cast<int>(r), select.chosenIndex());
    WCHECK(seen.tools == 3, "selection form: %d tool tips, 3 expected", seen.tools);
  }
  {
    open::TFormSelect select(icon, descriptions);
    Inspection seen{&select.form(), {}};
    ModalResult r =
        drive(select.form(), {{Action::Kind::Select, "ComboBox1", 1}, {Action::Kind::Click, "Button2", -1}},
              seen, [&] { return select.ShowModal(); });
    WCHECK(r == ModalResult::Cancel, "Button2: result %d", static_cast<int>(r));
  }
  {
    // Unticking Stretch moves the preview; the window follows the model.
    open::TFormSelect select(icon, descriptions);
    Inspection seen{&select.form(), {}};
    ModalResult r = drive(select.form(),
                          {{Action::Kind::Uncheck, "CheckBox1", -1},
                           {Action::Kind::Select, "ComboBox1", 0},
                           {Action::Kind::Click, "Button1", -1}},
                          seen, [&] { return select.ShowModal(); });
    WCHECK(r == ModalResult::Ok && select.chosenIndex() == 0, "Ok: result %d, chosen %d", static_cast<int>(r),
           select.chosenIndex());
    WCHECK(seen.count == 3, "selection form inspected %d times", seen.count);
  }
}

void optionsForm(const std::string& icon, const std::string& shots) {
  std::vector<std::uint8_t> buffer = platform::readWholeFile(icon).value_or(std::vector<std::uint8_t>{});
  save::SaveChoices choices;
  save::OptionsInput input{"C:\\icons\\sample.ico", 32, 32, 3};
  save::TFormOptSave options(input, 32, buffer, choices);
  Inspection seen{&options.form(),
                  {{0, shots + "/options-compact.png"}, {1, shots + "/options-expanded.png"}}};
  ModalResult r = drive(options.form(),
                        {{Action::Kind::Click, "ChkB1", -1},
                         {Action::Kind::Select, "CB2", 3},
                         {Action::Kind::CheckItem, "ChkLB1", 1},
                         {Action::Kind::Click, "btAbout", -1},
                         {Action::Kind::Escape, "", -1},
                         {Action::Kind::Escape, "", -1}},
                        seen, [&] { return platform::showModal(options.form()); });
  WCHECK(r == ModalResult::Cancel, "options form: Escape gives %d", static_cast<int>(r));
  // The about box took one Escape; the form it came from, enabled again, the
  // other.
  WCHECK(seen.count == 5, "options form inspected %d times", seen.count);
  WCHECK(seen.driven == (std::vector<std::string>{"ICO options", "About ICO (Windows Icon)"}),
         "the about box did not come up over the options form");
  const auto* list = options.form().find("ChkLB1");
  WCHECK(list != nullptr && list->itemChecked.size() > 1 && list->itemChecked[1],
         "the ticked line is not ticked");
}

void aboutBox(const std::string& shots) {
  Form about = ui::makeAboutBox();
  Inspection seen{&about, {{0, shots + "/about.png"}}};
  ModalResult r =
      drive(about, {{Action::Kind::Escape, "", -1}}, seen, [&] { return platform::showModal(about); });
  WCHECK(r == ModalResult::Ok, "about box: Escape gives %d", static_cast<int>(r));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: forms_check SAMPLE.ico SHOTS_DIR\n");
    return 2;
  }
  try {
    selectionForm(argv[1], argv[2]);
    optionsForm(argv[1], argv[2]);
    aboutBox(argv[2]);
  } catch (const std::exception& e) {
    WCHECK(false, "%s", e.what());
  }
  std::printf("forms: %d failures\n", wintest::failures());
  return wintest::failures() == 0 ? 0 : 1;
}
