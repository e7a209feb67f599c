#include "platform/win32/form_drawing.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/form_messages.h"

namespace icofmt::platform::win32 {

namespace {
constexpr COLORREF kNavy = RGB(0, 0, 128);
}  // namespace

void drawPicture(HDC dc, const Picture& picture, const RECT& box, bool stretch) {
  if (picture.empty()) return;
  // Rows of a device-independent bitmap are padded to four bytes.
  const std::size_t row = static_cast<std::size_t>(picture.width) * 3;
  const std::size_t stride = (row + 3) & ~std::size_t{3};
  if (picture.bgr.size() < row * static_cast<std::size_t>(picture.height)) return;
  std::vector<std::uint8_t> bits(stride * static_cast<std::size_t>(picture.height));
  for (int y = 0; y < picture.height; ++y)
    std::memcpy(bits.data() + stride * static_cast<std::size_t>(y),
                picture.bgr.data() + row * static_cast<std::size_t>(y), row);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = picture.width;
  info.bmiHeader.biHeight = -picture.height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  if (stretch) {
    ::SetStretchBltMode(dc, COLORONCOLOR);
    ::StretchDIBits(dc, box.left, box.top, box.right - box.left, box.bottom - box.top, 0, 0, picture.width,
                    picture.height, bits.data(), &info, DIB_RGB_COLORS, SRCCOPY);
  } else {
    ::SetDIBitsToDevice(dc, box.left, box.top, static_cast<DWORD>(picture.width),
                        static_cast<DWORD>(picture.height), 0, 0, 0, static_cast<UINT>(picture.height),
                        bits.data(), &info, DIB_RGB_COLORS);
  }
}

void drawFlatButton(const Control& c, const DRAWITEMSTRUCT& item) {
  HDC dc = item.hDC;
  RECT r = item.rcItem;
  ::FillRect(dc, &r, ::GetSysColorBrush(COLOR_BTNFACE));
  const bool pressed = (item.itemState & ODS_SELECTED) != 0;
  if (pressed) ::OffsetRect(&r, 1, 1);
  if (c.kind == ControlKind::SpeedButton && !c.picture.empty()) {
    RECT edge = item.rcItem;
    if (pressed) ::DrawEdge(dc, &edge, BDR_SUNKENOUTER, BF_RECT);
    RECT glyph{r.left + (r.right - r.left - c.picture.width) / 2,
               r.top + (r.bottom - r.top - c.picture.height) / 2, 0, 0};
    glyph.right = glyph.left + c.picture.width;
    glyph.bottom = glyph.top + c.picture.height;
    drawPicture(dc, c.picture, glyph, false);
  } else {
    ::SetBkMode(dc, TRANSPARENT);
    HGDIOBJ old =
        ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageA(item.hwndItem, WM_GETFONT, 0, 0)));
    COLORREF ink = c.kind == ControlKind::LinkButton ? kNavy : ::GetSysColor(COLOR_BTNTEXT);
    ::SetTextColor(dc, (item.itemState & ODS_DISABLED) ? ::GetSysColor(COLOR_GRAYTEXT) : ink);
    ::DrawTextA(dc, c.caption.c_str(), static_cast<int>(c.caption.size()), &r,
                DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    ::SelectObject(dc, old);
  }
  if (item.itemState & ODS_FOCUS) {
    RECT focus = item.rcItem;
    ::InflateRect(&focus, -2, -2);
    ::DrawFocusRect(dc, &focus);
  }
}

void drawCheckLine(const DRAWITEMSTRUCT& item, HFONT font) {
  if (item.itemID == static_cast<UINT>(-1)) return;
  HDC dc = item.hDC;
  RECT r = item.rcItem;
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  ::FillRect(dc, &r, ::GetSysColorBrush(COLOR_WINDOW));
  RECT box{r.left + 2, r.top + (r.bottom - r.top - 13) / 2, 0, 0};
  box.right = box.left + 13;
  box.bottom = box.top + 13;
  UINT state = DFCS_BUTTONCHECK | DFCS_FLAT;
  if (::SendMessageA(item.hwndItem, LB_GETITEMDATA, item.itemID, 0) == 1) state |= DFCS_CHECKED;
  ::DrawFrameControl(dc, &box, DFC_BUTTON, state);
  RECT text = r;
  text.left += kCheckBoxWidth + 2;
  char line[512] = {};
  auto length = ::SendMessageA(item.hwndItem, LB_GETTEXTLEN, item.itemID, 0);
  if (length >= 0 && length < static_cast<LRESULT>(sizeof line))
    ::SendMessageA(item.hwndItem, LB_GETTEXT, item.itemID, reinterpret_cast<LPARAM>(line));
  HGDIOBJ old = ::SelectObject(dc, font);
  SIZE extent{};
  ::GetTextExtentPoint32A(dc, line, static_cast<int>(std::strlen(line)), &extent);
  RECT mark = text;
  mark.right = std::min(text.right, text.left + extent.cx + 4);
  ::FillRect(dc, &mark, ::GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, ::GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  text.left += 2;
  ::DrawTextA(dc, line, -1, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  ::SelectObject(dc, old);
  if (item.itemState & ODS_FOCUS) ::DrawFocusRect(dc, &mark);
}

int textWidth(HWND h, HFONT font, const std::string& text) {
  HDC dc = ::GetDC(h);
  HGDIOBJ old = ::SelectObject(dc, font);
  SIZE extent{};
  ::GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  ::SelectObject(dc, old);
  ::ReleaseDC(h, dc);
  return extent.cx;
}

int captionRoom(HWND h, const Control& c) {
  switch (c.kind) {
    case ControlKind::Label:
      return c.wordWrap || c.pathEllipsis ? 0 : c.width;
    case ControlKind::Button:
      return c.width - 8;  // the edges and the focus rectangle inside them
    case ControlKind::CheckBox:
      return c.width - 18;  // the 13-pixel box, its gap, the focus rectangle around the text
    case ControlKind::LinkButton:
      return c.width - 2;  // the pressed caption moves one pixel
    case ControlKind::ComboBox: {
      COMBOBOXINFO info{};
      info.cbSize = sizeof info;
      if (!::GetComboBoxInfo(h, &info)) return 0;
      return info.rcItem.right - info.rcItem.left - 4;  // the selection's margins
    }
    case ControlKind::SpeedButton:
    case ControlKind::ListBox:
    case ControlKind::Image:
      break;
  }
  return 0;
}

std::string widestText(HWND h, HFONT font, const Control& c) {
  if (c.kind != ControlKind::ComboBox) return c.caption;
  std::string widest;
  int most = -1;
  for (const std::string& item : c.items) {
    const int w = textWidth(h, font, item);
    if (w > most) most = w, widest = item;
  }
  return widest;
}

}  // namespace icofmt::platform::win32
