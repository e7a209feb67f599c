// Shows the module's forms as real windows, driven by the scripted user, and
// checks what the windows are against the form objects: client sizes, control
// places and captions (GetWindowRect/GetClientRect), tab order and focus,
// Escape and the cancel buttons, tool tips. After every action it takes the
// window as the user sees it, without asking for a repaint, and checks that
// every control in sight is drawn and every caption fits. Saves pictures for
// comparison with the reference images.
//   forms_check SAMPLE.ico TWELVE.ico SHOTS_DIR
// TWELVE.ico is made: the sample's images repeated to twelve.
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
#include "platform/win32/form_drawing.h"
#include "platform/win32/form_messages.h"
#include "save/options_form.h"
#include "ui/about_box.h"

using namespace icofmt;
using platform::ControlKind;
using platform::Form;
using platform::ModalResult;
namespace scripted = platform::scripted;
using Action = scripted::UserAction;
namespace select_form = open::select_controls;
namespace options_form = save::options_controls;

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

// A control the user can see: shown and not wholly cut off by the window.
bool inSight(const platform::Control& c, HWND form) {
  RECT client{};
  ::GetClientRect(form, &client);
  return c.visible && c.left < client.right && c.top < client.bottom && c.left + c.width > 0 &&
         c.top + c.height > 0;
}

// Tab walks the enabled tab stops in sight in the order the model lists.
void checkTabOrder(const Form& form, HWND hwnd) {
  std::vector<const platform::Control*> stops;
  for (const auto& c : form.controls)
    if (c.tabOrder >= 0 && c.enabled && inSight(c, hwnd)) stops.push_back(&c);
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

// The window as it is on the screen, frame included: 0x00RRGGBB, top row first.
struct Shot {
  int width = 0, height = 0;
  POINT client{};  // where the client area starts
  std::vector<std::uint32_t> pixels;
};

Shot takeShot(HWND hwnd) {
  Shot shot;
  RECT r{};
  ::GetWindowRect(hwnd, &r);
  shot.width = r.right - r.left;
  shot.height = r.bottom - r.top;
  ::ClientToScreen(hwnd, &shot.client);
  shot.client.x -= r.left;
  shot.client.y -= r.top;
  HDC source = ::GetWindowDC(hwnd);
  HDC memory = ::CreateCompatibleDC(source);
  HBITMAP bitmap = ::CreateCompatibleBitmap(source, shot.width, shot.height);
  HGDIOBJ old = ::SelectObject(memory, bitmap);
  ::BitBlt(memory, 0, 0, shot.width, shot.height, source, 0, 0, SRCCOPY);
  ::SelectObject(memory, old);
  shot.pixels = wintest::pixelsOf(bitmap, shot.width, shot.height);
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(hwnd, source);
  return shot;
}

void savePng(const Shot& shot, const std::string& path) {
  PngImage png;
  png.Create(shot.width, shot.height, PngColourType::Rgb);
  for (int y = 0; y < shot.height; ++y)
    for (int x = 0; x < shot.width; ++x) {
      std::uint32_t p = shot.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(shot.width) +
                                    static_cast<std::size_t>(x)];
      std::uint8_t* out = png.Row(y) + 3 * x;
      out[0] = static_cast<std::uint8_t>(p >> 16);
      out[1] = static_cast<std::uint8_t>(p >> 8);
      out[2] = static_cast<std::uint8_t>(p);
    }
  png.SaveToFile(path);
}

// Every control wholly in sight shows something besides the bare face (an
// image without a picture and a label without a caption show nothing).
void checkDrawn(const Form& form, HWND hwnd, const Shot& shot) {
  RECT client{};
  ::GetClientRect(hwnd, &client);
  const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
  const std::uint32_t bare = (GetRValue(face) << 16) | (GetGValue(face) << 8) | GetBValue(face);
  for (const auto& c : form.controls) {
    if (!c.visible || c.left < 0 || c.top < 0 || c.left + c.width > client.right ||
        c.top + c.height > client.bottom)
      continue;
    if ((c.kind == ControlKind::Image && c.picture.empty()) ||
        (c.kind == ControlKind::Label && c.caption.empty()))
      continue;
    bool drawn = false;
    for (int y = c.top; y < c.top + c.height && !drawn; ++y)
      for (int x = c.left; x < c.left + c.width && !drawn; ++x)
        drawn =
            shot.pixels[static_cast<std::size_t>(y + shot.client.y) * static_cast<std::size_t>(shot.width) +
                        static_cast<std::size_t>(x + shot.client.x)] != bare;
    WCHECK(drawn, "%s: %s is not drawn", form.caption.c_str(), c.name.c_str());
  }
}

// Every caption in sight fits its control in the font the control has; a
// drop-down list drops wide enough for its widest item.
void checkCaptions(const Form& form, HWND hwnd) {
  for (const auto& c : form.controls) {
    HWND h = controlWindow(hwnd, c.name);
    if (h == nullptr || !inSight(c, hwnd)) continue;
    auto font = reinterpret_cast<HFONT>(::SendMessageA(h, WM_GETFONT, 0, 0));
    const std::string widest = platform::win32::widestText(h, font, c);
    const int width = platform::win32::textWidth(h, font, widest);
    const int room = platform::win32::captionRoom(h, c);
    WCHECK(room <= 0 || width <= room, "%s: %s: \"%s\" is %d pixels wide, its room %d", form.caption.c_str(),
           c.name.c_str(), widest.c_str(), width, room);
    if (c.kind == ControlKind::ComboBox)
      WCHECK(::SendMessageA(h, CB_GETDROPPEDWIDTH, 0, 0) >= width + 4, "%s: %s drops narrower than \"%s\"",
             form.caption.c_str(), c.name.c_str(), widest.c_str());
  }
}

// Checks the window of the form captioned `caption` before every action and
// before it closes: its model, tab order, drawing and captions; records where
// the focus is; pictures it at the inspections listed in shots (from 0).
struct Inspection {
  std::string caption;
  std::vector<std::pair<int, std::string>> shots;
  int count = 0;
  int tools = -1;
  std::vector<std::string> focus = {};   // the focused control's name at each inspection
  std::vector<std::string> driven = {};  // captions of every form the user met
  std::vector<scripted::MessageBoxRecord> boxes = {};
  void operator()(void* window) {
    HWND hwnd = static_cast<HWND>(window);
    const auto* form =
        reinterpret_cast<const Form*>(::SendMessageA(hwnd, platform::win32::formModelMessage(), 0, 0));
    if (form == nullptr || form->caption != caption) return;
    const Shot shot = takeShot(hwnd);
    WCHECK(!shot.pixels.empty(), "no picture of %s", caption.c_str());
    checkGeometry(*form, hwnd);
    checkTabOrder(*form, hwnd);
    if (!shot.pixels.empty()) checkDrawn(*form, hwnd, shot);
    checkCaptions(*form, hwnd);
    tools = toolCount(hwnd);
    std::string focused;
    for (const auto& c : form->controls)
      if (controlWindow(hwnd, c.name) == ::GetFocus()) focused = c.name;
    focus.push_back(focused);
    for (const auto& [at, path] : shots)
      if (at == count && !shot.pixels.empty()) savePng(shot, path);
    ++count;
  }
};

template <typename Show>
ModalResult drive(std::vector<Action> actions, Inspection& inspection, Show show) {
  scripted::reset();
  scripted::setWindowInspector([&](void* w) { inspection(w); });
  scripted::setUserActions(std::move(actions));
  ModalResult result = show();
  inspection.driven = scripted::drivenForms();
  inspection.boxes = scripted::messageBoxes();
  scripted::reset();
  WCHECK(inspection.count > 0, "%s was never inspected", inspection.caption.c_str());
  return result;
}

// The sample's images over and over: twelve, so that the count takes two digits.
void writeTwelveImages(const std::string& sample, const std::string& path) {
  const auto bytes = platform::readWholeFile(sample).value_or(std::vector<std::uint8_t>{});
  auto u16 = [&](std::size_t at) { return static_cast<std::uint32_t>(bytes[at] | bytes[at + 1] << 8); };
  auto u32 = [&](std::size_t at) { return u16(at) | u16(at + 2) << 16; };
  const std::size_t count = bytes.size() >= 6 ? u16(4) : 0;
  WCHECK(count > 0 && bytes.size() >= 6 + 16 * count, "%s is no icon", sample.c_str());
  if (count == 0 || bytes.size() < 6 + 16 * count) return;
  constexpr std::size_t kImages = 12;
  std::vector<std::uint8_t> out(bytes.begin(), bytes.begin() + 6);
  out[4] = kImages;
  out[5] = 0;
  std::vector<std::uint8_t> blocks;
  for (std::size_t i = 0; i < kImages; ++i) {
    const std::size_t entry = 6 + 16 * (i % count);
    const std::size_t size = u32(entry + 8), offset = u32(entry + 12);
    WCHECK(offset <= bytes.size() && size <= bytes.size() - offset, "%s: entry %zu", sample.c_str(), i);
    if (offset > bytes.size() || size > bytes.size() - offset) return;
    const std::uint32_t at = static_cast<std::uint32_t>(6 + 16 * kImages + blocks.size());
    out.insert(out.end(), bytes.begin() + static_cast<std::ptrdiff_t>(entry),
               bytes.begin() + static_cast<std::ptrdiff_t>(entry + 12));
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(at >> shift));
    blocks.insert(blocks.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                  bytes.begin() + static_cast<std::ptrdiff_t>(offset + size));
  }
  out.insert(out.end(), blocks.begin(), blocks.end());
  WCHECK(platform::writeWholeFile(path, out), "cannot write %s", path.c_str());
}

void selectionForm(const std::string& icon, const std::string& shots) {
  const auto descriptions = open::listSubImages(icon);
  WCHECK(descriptions.size() == 12, "%s holds %zu images", icon.c_str(), descriptions.size());
  {
    // Escape reaches the cancel button that lies outside the form.
    open::TFormSelect select(icon, descriptions);
    Inspection seen{select.form().caption, {{0, shots + "/select.png"}}};
    ModalResult r =
        drive({{Action::Kind::Select, select_form::kImageList, 2}, {Action::Kind::Escape, "", -1}}, seen,
              [&] { return select.ShowModal(); });
    WCHECK(r == ModalResult::Cancel && select.chosenIndex() == 0, "Escape: result %d, chosen %d",
           static_cast<int>(r), select.chosenIndex());
    WCHECK(seen.tools == 3, "selection form: %d tool tips, 3 expected", seen.tools);
    WCHECK(!seen.focus.empty() && seen.focus[0] == select_form::kImageList,
           "selection form: focus starts on \"%s\"", seen.focus.empty() ? "" : seen.focus[0].c_str());
  }
  {
    open::TFormSelect select(icon, descriptions);
    Inspection seen{select.form().caption, {}};
    ModalResult r = drive(
        {{Action::Kind::Select, select_form::kImageList, 1}, {Action::Kind::Click, select_form::kCancel, -1}},
        seen, [&] { return select.ShowModal(); });
    WCHECK(r == ModalResult::Cancel, "Button2: result %d", static_cast<int>(r));
  }
  {
    // Unticking Stretch moves the preview; the window follows the model.
    open::TFormSelect select(icon, descriptions);
    Inspection seen{select.form().caption, {}};
    ModalResult r = drive({{Action::Kind::Uncheck, select_form::kStretch, -1},
                           {Action::Kind::Select, select_form::kImageList, 0},
                           {Action::Kind::Click, select_form::kOk, -1}},
                          seen, [&] { return select.ShowModal(); });
    WCHECK(r == ModalResult::Ok && select.chosenIndex() == 0, "Ok: result %d, chosen %d", static_cast<int>(r),
           select.chosenIndex());
    WCHECK(seen.count == 3, "selection form inspected %d times", seen.count);
  }
}

// The options form as the save shows it, for a destination deep in folders.
void optionsForm(const std::string& icon, const std::string& shots) {
  std::vector<std::uint8_t> destination = platform::readWholeFile(icon).value_or(std::vector<std::uint8_t>{});
  std::vector<std::uint8_t> assembly;
  const save::OptionsInput input{
      "C:\\Users\\Public\\Documents\\Icons of the application\\Toolbar and menu icons for the next "
      "release\\sample.ico",
      32, 32, 3};
  std::int32_t proposed = 32;
  save::SaveChoices choices;
  // 16 chosen in an earlier save: ticked; 24 offered; 32 and up are no
  // smaller sizes of a 32 x 32 picture.
  choices.smallerSizes = {16};
  Inspection seen{"ICO options", {{0, shots + "/options-compact.png"}, {1, shots + "/options-expanded.png"}}};
  // Each action's result is inspected before the next: Advanced on, the
  // depth with the longest name, a line ticked and deleted, Advanced off,
  // the about box and back.
  ModalResult r = drive({{Action::Kind::Click, options_form::kAdvanced, -1},
                         {Action::Kind::Select, options_form::kDepth, 4},
                         {Action::Kind::CheckItem, options_form::kImageList, 1},
                         {Action::Kind::Click, options_form::kDelete, -1},
                         {Action::Kind::Click, options_form::kAdvanced, -1},
                         {Action::Kind::Click, options_form::kAbout, -1},
                         {Action::Kind::Escape, "", -1},
                         {Action::Kind::Escape, "", -1}},
                        seen, [&] {
                          return save::ShowOptions(input, proposed, destination, assembly, choices) ==
                                         save::OptionsAnswer::Ok
                                     ? ModalResult::Ok
                                     : ModalResult::Cancel;
                        });
  WCHECK(r == ModalResult::Cancel, "options form: Escape gives %d", static_cast<int>(r));
  WCHECK(choices.smallerSizes == std::vector<std::int32_t>{16}, "options form: Cancel changed the sizes");
  // The about box took one Escape; the form it came from, enabled again, the
  // other.
  WCHECK(seen.count == 7, "options form inspected %d times", seen.count);
  WCHECK(seen.driven == (std::vector<std::string>{"ICO options", "About ICO (Windows Icon)"}),
         "the about box did not come up over the options form");
  WCHECK(seen.boxes.size() == 1 && seen.boxes[0].icon == platform::MessageIcon::Question,
         "the deletion was not confirmed with a question");
  // Compact, the focus starts on the first tab stop in sight; a click keeps
  // it; back from the confirmation and the about box it is where it was.
  const std::vector<std::string> focus{
      options_form::kOk,     options_form::kAdvanced, options_form::kAdvanced, options_form::kImageList,
      options_form::kDelete, options_form::kAdvanced, options_form::kAbout};
  WCHECK(seen.focus == focus, "options form: the focus went otherwise");
}

void aboutBox(const std::string& shots) {
  Form about = ui::makeAboutBox();
  Inspection seen{about.caption, {{0, shots + "/about.png"}}};
  ModalResult r = drive({{Action::Kind::Escape, "", -1}}, seen, [&] { return platform::showModal(about); });
  WCHECK(r == ModalResult::Ok, "about box: Escape gives %d", static_cast<int>(r));
  WCHECK(seen.tools == 2, "about box: %d tool tips, 2 expected", seen.tools);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: forms_check SAMPLE.ico TWELVE.ico SHOTS_DIR\n");
    return 2;
  }
  try {
    writeTwelveImages(argv[1], argv[2]);
    selectionForm(argv[2], argv[3]);
    optionsForm(argv[1], argv[3]);
    aboutBox(argv[3]);
  } catch (const std::exception& e) {
    WCHECK(false, "%s", e.what());
  }
  std::printf("forms: %d failures\n", wintest::failures());
  return wintest::failures() == 0 ? 0 : 1;
}
