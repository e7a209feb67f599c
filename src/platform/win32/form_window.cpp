// Modal forms as real windows. The model is the truth: before a handler runs
// the window's user-made state (ticks, selections) is copied into it, after the
// handler whatever it changed is applied to the windows.
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <algorithm>
#include <cstring>

#include "platform/forms.h"
#include "platform/modules.h"
#include "platform/win32/form_drawing.h"
#include "platform/win32/form_messages.h"

namespace icofmt::platform {

namespace {

using win32::drawCheckLine;
using win32::drawFlatButton;
using win32::drawPicture;
using win32::kCheckBoxWidth;
using win32::kFormClass;
constexpr int kFirstControlId = 1000;
// What a caption too wide for its control falls back to: smaller sizes of the
// form's face (where it has them; a bitmap face has one), then Tahoma, narrower,
// which every Windows since 2000 has.
constexpr int kSmallestFontStep = 2;
constexpr char kNarrowFace[] = "Tahoma";

// What a control's window shows, so that only what a handler changed is
// applied again.
struct Shown {
  std::string caption;
  int left = 0, top = 0, width = 0, height = 0;
  bool visible = true, enabled = true, checked = false;
  std::vector<std::string> items;
  int itemIndex = -1;
  std::vector<bool> itemChecked;
  HFONT font = nullptr;
};

struct Font {
  std::string face;
  int height;
  bool link;
  HFONT handle;
};

struct FormWindow {
  Form* form = nullptr;
  HWND hwnd = nullptr;
  std::vector<HWND> windows;  // by model index
  std::vector<Shown> shown;
  std::vector<Font> fonts;  // made as controls need them, deleted with the form
  HWND tooltip = nullptr;
  HWND focus = nullptr;  // the control that had the focus when the form was last left
  std::string caption;
  int width = 0, height = 0;
  std::vector<Rect> frames;
  bool activated = false;
  int handlers = 0;  // handlers running; the model is applied when the last returns
};

int openForms = 0;

FormWindow* formOf(HWND hwnd) {
  return reinterpret_cast<FormWindow*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

int indexOf(const FormWindow& fw, HWND control) {
  for (std::size_t i = 0; i < fw.windows.size(); ++i)
    if (fw.windows[i] == control) return static_cast<int>(i);
  return -1;
}

bool isList(ControlKind kind) { return kind == ControlKind::ComboBox || kind == ControlKind::ListBox; }

// A face at a pixel height; links bold and underlined.
HFONT fontOf(FormWindow& fw, const std::string& face, int height, bool link) {
  for (const Font& f : fw.fonts)
    if (f.face == face && f.height == height && f.link == link) return f.handle;
  LOGFONTA lf{};
  lf.lfHeight = -height;
  lf.lfWeight = link ? FW_BOLD : FW_NORMAL;
  lf.lfUnderline = link ? TRUE : FALSE;
  lf.lfCharSet = DEFAULT_CHARSET;
  lstrcpynA(lf.lfFaceName, face.c_str(), LF_FACESIZE);
  HFONT font = ::CreateFontIndirectA(&lf);
  fw.fonts.push_back({face, height, link, font});
  return font;
}

HFONT formFont(FormWindow& fw, bool link) { return fontOf(fw, fw.form->fontName, fw.form->fontHeight, link); }

// A control the user can see: shown, and not wholly cut off by the window's
// edges (the compact options layout and the selection form's cancel button).
bool inSight(const FormWindow& fw, std::size_t i) {
  const Control& c = fw.form->controls[i];
  RECT client{};
  ::GetClientRect(fw.hwnd, &client);
  return c.visible && c.left < client.right && c.top < client.bottom && c.left + c.width > 0 &&
         c.top + c.height > 0;
}

void setItems(HWND h, const Control& c) {
  const bool combo = c.kind == ControlKind::ComboBox;
  ::SendMessageA(h, combo ? CB_RESETCONTENT : LB_RESETCONTENT, 0, 0);
  for (std::size_t i = 0; i < c.items.size(); ++i) {
    auto at = ::SendMessageA(h, combo ? CB_ADDSTRING : LB_ADDSTRING, 0,
                             reinterpret_cast<LPARAM>(c.items[i].c_str()));
    if (!combo && at >= 0) {
      bool ticked = i < c.itemChecked.size() && c.itemChecked[i];
      ::SendMessageA(h, LB_SETITEMDATA, static_cast<WPARAM>(at), ticked ? 1 : 0);
    }
  }
}

// The field of a drop-down list is as high as the model says; its window
// reaches down over the list it drops.
void placeControl(HWND h, const Control& c) {
  int height = c.kind == ControlKind::ComboBox ? c.height + 200 : c.height;
  ::SetWindowPos(h, nullptr, c.left, c.top, c.width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  if (c.kind == ControlKind::ComboBox)
    ::SendMessageA(h, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), c.height - 6);
}

LRESULT CALLBACK checkListProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data);

HWND createControl(FormWindow& fw, std::size_t index) {
  const Control& c = fw.form->controls[index];
  HINSTANCE instance = static_cast<HINSTANCE>(ownModule());
  const char* cls = "STATIC";
  DWORD style = WS_CHILD;
  switch (c.kind) {
    case ControlKind::Button:
      cls = "BUTTON";
      style |= c.isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
      break;
    case ControlKind::SpeedButton:
    case ControlKind::LinkButton:
      cls = "BUTTON";
      style |= BS_OWNERDRAW;
      break;
    case ControlKind::CheckBox:
      cls = "BUTTON";
      style |= BS_AUTOCHECKBOX;
      break;
    case ControlKind::ComboBox:
      cls = "COMBOBOX";
      style |= WS_VSCROLL | CBS_DROPDOWNLIST;
      break;
    case ControlKind::ListBox:
      cls = "LISTBOX";
      style |= WS_VSCROLL | WS_BORDER | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
      if (c.checkBoxes) style |= LBS_OWNERDRAWFIXED | LBS_HASSTRINGS;
      break;
    case ControlKind::Label:
      style |= SS_NOPREFIX | (c.wordWrap ? SS_LEFT : SS_LEFTNOWORDWRAP);
      if (c.pathEllipsis) style |= SS_PATHELLIPSIS;
      // Tool tips see the mouse only over a label that does not pass it on.
      if (!c.hint.empty()) style |= SS_NOTIFY;
      break;
    case ControlKind::Image:
      style |= SS_OWNERDRAW;
      break;
  }
  if (c.tabOrder >= 0) style |= WS_TABSTOP;
  HWND h = ::CreateWindowExA(0, cls, c.caption.c_str(), style, 0, 0, 0, 0, fw.hwnd,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + index)), instance,
                             nullptr);
  if (h == nullptr) return nullptr;
  if (c.kind == ControlKind::ListBox && c.checkBoxes) {
    ::SendMessageA(h, LB_SETITEMHEIGHT, 0, std::max(kCheckBoxWidth, fw.form->fontHeight + 4));
    ::SetWindowSubclass(h, checkListProc, 1, reinterpret_cast<DWORD_PTR>(&fw));
  }
  if (!c.hint.empty() && fw.tooltip != nullptr) {
    TTTOOLINFOA tool{};
    tool.cbSize = TTTOOLINFOA_V1_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = fw.hwnd;
    tool.uId = reinterpret_cast<UINT_PTR>(h);
    tool.lpszText = const_cast<char*>(c.hint.c_str());
    ::SendMessageA(fw.tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
  }
  return h;
}

// Makes the control's text fit: an autoSize control takes the width of its
// caption (recorded in the model); a caption wider than the room its control
// leaves is drawn in a smaller size of the form's face; a drop-down list drops
// as wide as its widest item. True when the control must be placed again.
bool fitText(FormWindow& fw, std::size_t i) {
  Control& c = fw.form->controls[i];
  HWND h = fw.windows[i];
  const bool link = c.kind == ControlKind::LinkButton;
  HFONT font = formFont(fw, link);
  const std::string text = win32::widestText(h, font, c);
  bool place = false;
  if (c.autoSize) {
    const int width = win32::textWidth(h, font, text) + (link ? 2 : 0);
    place = width != c.width;
    c.width = width;
  } else if (const int room = win32::captionRoom(h, c); room > 0) {
    for (const std::string& face : {fw.form->fontName, std::string(kNarrowFace)})
      for (int step = 0; step <= kSmallestFontStep && win32::textWidth(h, font, text) > room; ++step)
        font = fontOf(fw, face, fw.form->fontHeight - step, link);
  }
  if (c.kind == ControlKind::ComboBox) {
    const int list = win32::textWidth(h, font, text) + ::GetSystemMetrics(SM_CXVSCROLL) + 8;
    ::SendMessageA(h, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(std::max(list, c.width)), 0);
  }
  if (font != fw.shown[i].font) {
    ::SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    fw.shown[i].font = font;
    place = true;  // a drop-down list's field takes the new font's height
  }
  return place;
}

void applyControl(FormWindow& fw, std::size_t i, bool fresh) {
  Control& c = fw.form->controls[i];
  HWND h = fw.windows[i];
  Shown& s = fw.shown[i];
  if (h == nullptr) return;
  const bool newText = fresh || s.caption != c.caption || (isList(c.kind) && s.items != c.items);
  if (fresh || s.caption != c.caption) {
    ::SetWindowTextA(h, c.caption.c_str());
    s.caption = c.caption;
  }
  if (fresh || s.left != c.left || s.top != c.top || s.width != c.width || s.height != c.height) {
    placeControl(h, c);
    s.left = c.left, s.top = c.top, s.width = c.width, s.height = c.height;
  }
  // Fitted once placed: a drop-down list's room comes from its field.
  if (newText && fitText(fw, i)) {
    placeControl(h, c);
    s.width = c.width;
  }
  if (isList(c.kind) && (fresh || s.items != c.items || s.itemChecked != c.itemChecked)) {
    setItems(h, c);
    s.items = c.items;
    s.itemChecked = c.itemChecked;
    s.itemIndex = -2;
  }
  if (isList(c.kind) && s.itemIndex != c.itemIndex) {
    ::SendMessageA(h, c.kind == ControlKind::ComboBox ? CB_SETCURSEL : LB_SETCURSEL,
                   static_cast<WPARAM>(c.itemIndex), 0);
    s.itemIndex = c.itemIndex;
  }
  if (c.kind == ControlKind::CheckBox && (fresh || s.checked != c.checked)) {
    ::SendMessageA(h, BM_SETCHECK, c.checked ? BST_CHECKED : BST_UNCHECKED, 0);
    s.checked = c.checked;
  }
  if (fresh || s.enabled != c.enabled) {
    ::EnableWindow(h, c.enabled);
    s.enabled = c.enabled;
  }
  if (fresh || s.visible != c.visible) {
    ::ShowWindow(h, c.visible ? SW_SHOWNA : SW_HIDE);
    s.visible = c.visible;
  }
  // Pictures change in place; redrawing a preview costs little.
  if (c.kind == ControlKind::Image) ::InvalidateRect(h, nullptr, FALSE);
}

RECT windowRectFor(const Form& form, DWORD style) {
  RECT frame{0, 0, form.width, form.height};
  ::AdjustWindowRectEx(&frame, style, FALSE, WS_EX_DLGMODALFRAME);
  if (form.heightIncludesFrame) frame.bottom = frame.top + form.height;
  return frame;
}

void focusFirst(const FormWindow& fw) {
  int best = -1;
  for (std::size_t i = 0; i < fw.form->controls.size(); ++i) {
    const Control& c = fw.form->controls[i];
    if (c.tabOrder >= 0 && c.enabled && inSight(fw, i) &&
        (best < 0 || c.tabOrder < fw.form->controls[static_cast<std::size_t>(best)].tabOrder))
      best = static_cast<int>(i);
  }
  if (best >= 0) ::SetFocus(fw.windows[static_cast<std::size_t>(best)]);
}

// Whether the focus is on a control the user can see and use.
bool focusUsable(const FormWindow& fw, HWND focus) {
  const int i = indexOf(fw, focus);
  return i >= 0 && fw.form->controls[static_cast<std::size_t>(i)].enabled &&
         inSight(fw, static_cast<std::size_t>(i));
}

// Called as a message box or a nested form takes over: the focus is still on
// our control then (a disabled form loses it).
void rememberFocus(FormWindow& fw) {
  HWND focus = ::GetFocus();
  if (indexOf(fw, focus) >= 0) fw.focus = focus;
}

void restoreFocus(FormWindow& fw) {
  if (focusUsable(fw, fw.focus))
    ::SetFocus(fw.focus);
  else
    focusFirst(fw);
}

// Tab skips what the window cuts off; the order of the rest stays the model's.
void updateTabStops(const FormWindow& fw) {
  for (std::size_t i = 0; i < fw.windows.size(); ++i) {
    HWND h = fw.windows[i];
    if (h == nullptr) continue;
    const LONG_PTR style = ::GetWindowLongPtrA(h, GWL_STYLE);
    const LONG_PTR wanted = fw.form->controls[i].tabOrder >= 0 && inSight(fw, i)
                                ? style | WS_TABSTOP
                                : style & ~LONG_PTR{WS_TABSTOP};
    if (wanted != style) ::SetWindowLongPtrA(h, GWL_STYLE, wanted);
  }
}

// Shows on the windows what the handlers changed in the model.
void applyModel(FormWindow& fw) {
  Form& form = *fw.form;
  if (fw.caption != form.caption) {
    ::SetWindowTextA(fw.hwnd, form.caption.c_str());
    fw.caption = form.caption;
  }
  if (fw.width != form.width || fw.height != form.height) {
    RECT r = windowRectFor(form, static_cast<DWORD>(::GetWindowLongPtrA(fw.hwnd, GWL_STYLE)));
    ::SetWindowPos(fw.hwnd, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    fw.width = form.width;
    fw.height = form.height;
  }
  // Handlers may add controls.
  for (std::size_t i = 0; i < form.controls.size(); ++i) {
    const bool fresh = i >= fw.windows.size();
    if (fresh) {
      fw.windows.push_back(createControl(fw, i));
      fw.shown.emplace_back();
    }
    applyControl(fw, i, fresh);
  }
  if (fw.frames != form.frames) {
    fw.frames = form.frames;
    ::InvalidateRect(fw.hwnd, nullptr, TRUE);
  }
  updateTabStops(fw);
  // A control disabled, hidden or cut off under the focus hands it on.
  if (::GetActiveWindow() == fw.hwnd && !focusUsable(fw, ::GetFocus())) focusFirst(fw);
}

// Copies what the user changed on the windows into the model.
void readUserState(FormWindow& fw) {
  for (std::size_t i = 0; i < fw.windows.size() && i < fw.form->controls.size(); ++i) {
    Control& c = fw.form->controls[i];
    HWND h = fw.windows[i];
    Shown& s = fw.shown[i];
    if (h == nullptr) continue;
    if (c.kind == ControlKind::CheckBox)
      s.checked = c.checked = ::SendMessageA(h, BM_GETCHECK, 0, 0) == BST_CHECKED;
    if (c.kind == ControlKind::ComboBox)
      s.itemIndex = c.itemIndex = static_cast<int>(::SendMessageA(h, CB_GETCURSEL, 0, 0));
    if (c.kind == ControlKind::ListBox) {
      s.itemIndex = c.itemIndex = static_cast<int>(::SendMessageA(h, LB_GETCURSEL, 0, 0));
      if (c.checkBoxes) {
        c.itemChecked.resize(c.items.size(), false);
        for (std::size_t k = 0; k < c.items.size(); ++k)
          c.itemChecked[k] = ::SendMessageA(h, LB_GETITEMDATA, k, 0) == 1;
        s.itemChecked = c.itemChecked;
      }
    }
  }
}

// Runs a handler of the model between the two synchronisations.
template <typename F>
void runHandler(FormWindow& fw, F&& handler) {
  if (fw.handlers == 0) readUserState(fw);
  ++fw.handlers;
  handler();
  --fw.handlers;
  if (fw.handlers == 0 && ::IsWindow(fw.hwnd)) applyModel(fw);
}

void clickControl(FormWindow& fw, std::size_t index) {
  runHandler(fw, [&] {
    Form& form = *fw.form;
    if (index >= form.controls.size() || !form.controls[index].enabled) return;
    if (auto click = form.controls[index].onClick) click();
    ModalResult result = form.controls[index].modalResult;
    if (result != ModalResult::None) form.close(result);
  });
}

void changeControl(FormWindow& fw, std::size_t index) {
  runHandler(fw, [&] {
    if (index >= fw.form->controls.size()) return;
    if (auto change = fw.form->controls[index].onChange) change();
  });
}

LRESULT CALLBACK checkListProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
  auto& fw = *reinterpret_cast<FormWindow*>(data);
  int line = -1;
  if (message == WM_LBUTTONDOWN && static_cast<short>(LOWORD(lParam)) < kCheckBoxWidth) {
    DWORD hit = static_cast<DWORD>(::SendMessageA(h, LB_ITEMFROMPOINT, 0, lParam));
    if (HIWORD(hit) == 0) line = LOWORD(hit);
  } else if (message == WM_KEYDOWN && wParam == VK_SPACE) {
    line = static_cast<int>(::SendMessageA(h, LB_GETCURSEL, 0, 0));
  }
  if (line >= 0) {
    bool ticked = ::SendMessageA(h, LB_GETITEMDATA, static_cast<WPARAM>(line), 0) == 1;
    ::SendMessageA(h, LB_SETITEMDATA, static_cast<WPARAM>(line), ticked ? 0 : 1);
    RECT r;
    if (::SendMessageA(h, LB_GETITEMRECT, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(&r)) != LB_ERR)
      ::InvalidateRect(h, &r, FALSE);
    int index = indexOf(fw, h);
    if (index >= 0) changeControl(fw, static_cast<std::size_t>(index));
    if (message == WM_KEYDOWN) return 0;
  }
  return ::DefSubclassProc(h, message, wParam, lParam);
}

void drawItem(FormWindow& fw, const DRAWITEMSTRUCT& item) {
  int index = indexOf(fw, item.hwndItem);
  if (index < 0) return;
  const Control& c = fw.form->controls[static_cast<std::size_t>(index)];
  if (c.kind == ControlKind::Image) {
    ::FillRect(item.hDC, &item.rcItem, ::GetSysColorBrush(COLOR_BTNFACE));
    drawPicture(item.hDC, c.picture, item.rcItem, c.stretch);
  } else if (c.kind == ControlKind::ListBox) {
    drawCheckLine(item, formFont(fw, false));
  } else {
    drawFlatButton(c, item);
  }
}

void paintForm(FormWindow& fw) {
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(fw.hwnd, &ps);
  if (fw.form->onPaint) runHandler(fw, fw.form->onPaint);
  HBRUSH black = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
  for (const Rect& f : fw.frames) {
    RECT r{f.left, f.top, f.right, f.bottom};
    ::FrameRect(dc, &r, black);
  }
  ::EndPaint(fw.hwnd, &ps);
}

int defaultButton(const FormWindow& fw) {
  for (std::size_t i = 0; i < fw.form->controls.size(); ++i)
    if (fw.form->controls[i].isDefault) return kFirstControlId + static_cast<int>(i);
  return -1;
}

void onCommand(FormWindow& fw, int id, int code) {
  Form& form = *fw.form;
  if (id == IDCANCEL) {
    // Escape works the cancel button even where the user cannot see it.
    for (std::size_t i = 0; i < form.controls.size(); ++i)
      if (form.controls[i].isCancel && form.controls[i].enabled) {
        clickControl(fw, i);
        break;
      }
    form.close(ModalResult::Cancel);
    return;
  }
  if (id == IDOK) {
    int def = defaultButton(fw);
    if (def >= 0) clickControl(fw, static_cast<std::size_t>(def - kFirstControlId));
    return;
  }
  const int index = id - kFirstControlId;
  if (index < 0 || static_cast<std::size_t>(index) >= form.controls.size()) return;
  const ControlKind kind = form.controls[static_cast<std::size_t>(index)].kind;
  if ((kind == ControlKind::ComboBox && code == CBN_SELCHANGE) ||
      (kind == ControlKind::ListBox && code == LBN_SELCHANGE))
    changeControl(fw, static_cast<std::size_t>(index));
  else if (!isList(kind) && code == BN_CLICKED)
    clickControl(fw, static_cast<std::size_t>(index));
}

LRESULT answerScriptedUser(FormWindow& fw, UINT message, LPARAM lParam) {
  const Form& form = *fw.form;
  if (message == win32::findControlMessage()) {
    const char* name = reinterpret_cast<const char*>(lParam);
    for (std::size_t i = 0; name != nullptr && i < form.controls.size() && i < fw.windows.size(); ++i)
      if (form.controls[i].name == name) return reinterpret_cast<LRESULT>(fw.windows[i]);
    return 0;
  }
  for (std::size_t i = 0; i < form.controls.size() && i < fw.windows.size(); ++i) {
    const Control& c = form.controls[i];
    if (c.kind == ControlKind::Button && c.enabled && c.modalResult == ModalResult::Ok)
      return reinterpret_cast<LRESULT>(fw.windows[i]);
  }
  return 0;
}

LRESULT CALLBACK formProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
  }
  FormWindow* fw = formOf(hwnd);
  if (fw == nullptr) return ::DefWindowProcA(hwnd, message, wParam, lParam);
  switch (message) {
    case WM_COMMAND:
      onCommand(*fw, LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_CLOSE:
      fw->form->close(ModalResult::Cancel);
      return 0;
    case WM_SHOWWINDOW:
      if (wParam && fw->form->onShow) runHandler(*fw, fw->form->onShow);
      break;
    case WM_CANCELMODE:
      rememberFocus(*fw);
      break;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        rememberFocus(*fw);
        break;
      }
      // Once, as the form first comes up: a form that is active again after
      // a nested box closes keeps the shape the user gave it.
      if (!fw->activated) {
        fw->activated = true;
        if (fw->form->onActivate) runHandler(*fw, fw->form->onActivate);
      }
      // Back from a box, the user goes on where they were.
      restoreFocus(*fw);
      return 0;
    case WM_PAINT:
      paintForm(*fw);
      return 0;
    case WM_DRAWITEM:
      drawItem(*fw, *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_SETCURSOR: {
      int index = indexOf(*fw, reinterpret_cast<HWND>(wParam));
      if (index >= 0 && fw->form->controls[static_cast<std::size_t>(index)].kind == ControlKind::LinkButton) {
        ::SetCursor(::LoadCursor(nullptr, IDC_HAND));
        return TRUE;
      }
      break;
    }
    case DM_GETDEFID: {
      int def = defaultButton(*fw);
      return def >= 0 ? MAKELRESULT(def, DC_HASDEFID) : 0;
    }
    default:
      if (message == win32::findControlMessage() || message == win32::confirmButtonMessage())
        return answerScriptedUser(*fw, message, lParam);
      if (message == win32::formModelMessage()) return reinterpret_cast<LRESULT>(fw->form);
      break;
  }
  return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

bool registerFormClass(HINSTANCE instance) {
  WNDCLASSA wc{};
  if (::GetClassInfoA(instance, kFormClass, &wc)) return true;
  wc.lpfnWndProc = formProc;
  wc.hInstance = instance;
  wc.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kFormClass;
  return ::RegisterClassA(&wc) != 0;
}

// Windows take the tab order from the order in which they were made: tab
// stops first, by their order, then the rest as the model lists them.
std::vector<std::size_t> creationOrder(const Form& form) {
  std::vector<std::size_t> order(form.controls.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    int ta = form.controls[a].tabOrder, tb = form.controls[b].tabOrder;
    if ((ta >= 0) != (tb >= 0)) return ta >= 0;
    return ta >= 0 && ta < tb;
  });
  return order;
}

void createControls(FormWindow& fw) {
  const std::size_t count = fw.form->controls.size();
  fw.windows.assign(count, nullptr);
  fw.shown.assign(count, Shown{});
  for (std::size_t i : creationOrder(*fw.form)) fw.windows[i] = createControl(fw, i);
  for (std::size_t i = 0; i < count; ++i) applyControl(fw, i, true);
  updateTabStops(fw);
}

void placeForm(const FormWindow& fw, DWORD style) {
  const Form& form = *fw.form;
  RECT r = windowRectFor(form, style);
  int w = r.right - r.left, h = r.bottom - r.top;
  int x = form.left, y = form.top;
  if (x < 0 || y < 0) {
    RECT work{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    x = work.left + (work.right - work.left - w) / 2;
    y = work.top + (work.bottom - work.top - h) / 2;
  }
  ::SetWindowPos(fw.hwnd, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

ModalResult showModal(Form& form) {
  HINSTANCE instance = static_cast<HINSTANCE>(ownModule());
  form.modalResult = ModalResult::None;
  if (!registerFormClass(instance)) return ModalResult::Cancel;
  ++openForms;
  INITCOMMONCONTROLSEX common{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&common);

  FormWindow fw;
  fw.form = &form;
  fw.caption = form.caption;
  fw.width = form.width;
  fw.height = form.height;
  HWND owner = ::GetActiveWindow();
  // Clipping the controls keeps the form's background from being painted over
  // them when the window grows and they move.
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_CLIPCHILDREN;
  fw.hwnd = ::CreateWindowExA(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, kFormClass, form.caption.c_str(),
                              style, 0, 0, 0, 0, owner, nullptr, instance, &fw);
  if (fw.hwnd != nullptr) {
    fw.tooltip =
        ::CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, fw.hwnd, nullptr, instance, nullptr);
    placeForm(fw, style);
    createControls(fw);
    runHandler(fw, [&] { ::SendMessageA(fw.hwnd, WM_INITDIALOG, 0, 0); });
    if (owner != nullptr) ::EnableWindow(owner, FALSE);
    ::ShowWindow(fw.hwnd, SW_SHOW);
    ::SetForegroundWindow(fw.hwnd);
    if (!fw.activated) {
      fw.activated = true;
      if (form.onActivate) runHandler(fw, form.onActivate);
    }
    focusFirst(fw);
    MSG msg;
    while (form.modalResult == ModalResult::None) {
      BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
      if (got <= 0) {
        // A quit ends the loop of whoever asked for it, not ours.
        if (got == 0) ::PostQuitMessage(static_cast<int>(msg.wParam));
        form.close(ModalResult::Cancel);
        break;
      }
      if (!::IsDialogMessageA(fw.hwnd, &msg)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
      }
    }
    readUserState(fw);
    if (owner != nullptr) ::EnableWindow(owner, TRUE);
    ::SetWindowLongPtrA(fw.hwnd, GWLP_USERDATA, 0);
    ::DestroyWindow(fw.hwnd);
    if (owner != nullptr) ::SetActiveWindow(owner);
  } else {
    form.close(ModalResult::Cancel);
  }
  for (const Font& f : fw.fonts) ::DeleteObject(f.handle);
  // A library's classes outlive it unless it removes them; the carried
  // module is loaded anew for each operation.
  if (--openForms == 0) ::UnregisterClassA(kFormClass, instance);
  return form.modalResult;
}

}  // namespace icofmt::platform
