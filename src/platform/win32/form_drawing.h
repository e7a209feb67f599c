#pragma once
// What the form windows draw themselves. Every picture is our own pixels,
// drawn with the device-independent bitmap calls; the system draws no icon.
#include <windows.h>

#include "platform/forms.h"

namespace icofmt::platform::win32 {

// The picture in box: scaled to it when stretch is set, else at its own size
// from the top-left corner and cut off.
void drawPicture(HDC dc, const Picture& picture, const RECT& box, bool stretch);
// An owner-drawn button: a link (bold, underlined, navy; linkFont) or a flat
// speed button with a raised edge.
void drawFlatButton(const Control& c, const DRAWITEMSTRUCT& item, HFONT font, HFONT linkFont);
// A line of a check-box list: its box, ticked when the line's item data is 1,
// and its text.
void drawCheckLine(const DRAWITEMSTRUCT& item, HFONT font);

}  // namespace icofmt::platform::win32
