#pragma once
// What the module's forms share: the about box and the pages their link
// buttons open.
#include <string>

#include "platform/forms.h"

namespace icofmt::ui {

constexpr char kModuleName[] = "ICO (Windows Icon)";

std::string moduleVersion();

struct WebLink {
  std::string caption;
  std::string url;
};
// The icon file format, and icons in Windows.
WebLink formatPageLink();
WebLink iconsPageLink();
// The maker's web page and mail address, captioned with the bare address.
WebLink makerWebLink();
WebLink makerMailLink();

// The about box as a form, and shown modally.
platform::Form makeAboutBox();
void showAboutBox();

// A flat link button at the position that opens the link's page when clicked.
platform::Control makeLinkButton(const std::string& name, const WebLink& link, int left, int top, int width,
                                 int height);
// The flat "About" glyph button of a form: an "i" on a blue disc, our own
// pixels over the face colour.
platform::Control makeAboutButton(int left, int top);

}  // namespace icofmt::ui
