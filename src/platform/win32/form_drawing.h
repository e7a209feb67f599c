#pragma once
// What the form windows draw themselves. Every picture is our own pixels,
// drawn with the device-independent bitmap calls; the system draws no icon.
#include <windows.h>

#include <string>

#include "platform/forms.h"

namespace icofmt::platform::win32 {

// The picture in box: scaled to it when stretch is set, else at its own size
// from the top-left corner and cut off.
void drawPicture(HDC dc, const Picture& picture, const RECT& box, bool stretch);
// An owner-drawn button in its window's font: a link (navy text; the font is
// bold and underlined) or a flat speed button showing its glyph, with an edge
// only while pressed.
void drawFlatButton(const Control& c, const DRAWITEMSTRUCT& item);
// A line of a check-box list: its box, ticked when the line's item data is 1,
// and its text.
void drawCheckLine(const DRAWITEMSTRUCT& item, HFONT font);

// The width of text in a font, as drawn on window h.
int textWidth(HWND h, HFONT font, const std::string& text);
// The width a control leaves for its caption (a drop-down list: for the text
// of its field); 0 for a control whose caption is not drawn or may take
// several lines.
int captionRoom(HWND h, const Control& c);
// The text that must fit that room: the caption, or a list's widest item.
std::string widestText(HWND h, HFONT font, const Control& c);

}  // namespace icofmt::platform::win32
