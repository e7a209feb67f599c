#include "ui/about_box.h"

#include <array>
#include <string_view>

#include "platform/message_box.h"

namespace icofmt::ui {

namespace {

// The web address as a user reads it: without its scheme and final slash.
std::string bareAddress(std::string_view url) {
  for (std::string_view scheme : {"https://", "http://"})
    if (url.starts_with(scheme)) url.remove_prefix(scheme.size());
  if (url.ends_with('/')) url.remove_suffix(1);
  return std::string(url);
}

// 'o' disc, 'w' the letter; every other pixel is the face colour.
constexpr int kGlyphSide = 16;
constexpr std::array<std::string_view, kGlyphSide> kInfoLetter{
    "................", "................", "................", ".......ww.......",
    ".......ww.......", "................", "......www.......", ".......ww.......",
    ".......ww.......", ".......ww.......", ".......ww.......", ".......ww.......",
    "......wwww......", "................", "................", "................"};

platform::Picture aboutGlyph() {
  constexpr std::uint32_t kBlue = 0x00C06020;  // 0x00BBGGRR
  const std::uint32_t face = platform::faceColour();
  platform::Picture p;
  p.width = p.height = kGlyphSide;
  p.bgr.reserve(kGlyphSide * kGlyphSide * 3);
  for (int y = 0; y < kGlyphSide; ++y)
    for (int x = 0; x < kGlyphSide; ++x) {
      // The disc's edge is smoothed: the share of 4 x 4 sample points inside
      // it, in eighths of a pixel from the centre (radius 7.5 pixels).
      int inside = 0;
      for (int sy = 0; sy < 4; ++sy)
        for (int sx = 0; sx < 4; ++sx) {
          const int dx = 8 * x + 2 * sx + 1 - 64, dy = 8 * y + 2 * sy + 1 - 64;
          inside += dx * dx + dy * dy <= 60 * 60 ? 1 : 0;
        }
      const bool letter = kInfoLetter[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] == 'w';
      const std::uint32_t ink = letter ? 0x00FFFFFF : kBlue;
      for (int shift : {16, 8, 0}) {  // blue, green, red
        const std::uint32_t f = (face >> shift) & 0xFF, i = (ink >> shift) & 0xFF;
        p.bgr.push_back(static_cast<std::uint8_t>((f * (16 - inside) + i * inside + 8) / 16));
      }
    }
  return p;
}

}  // namespace

std::string moduleVersion() { return ICOFMT_VERSION; }

WebLink formatPageLink() { return {"ICO file format", ICOFMT_FORMAT_PAGE_URL}; }
WebLink iconsPageLink() { return {"Windows icons", ICOFMT_ICONS_PAGE_URL}; }
WebLink makerWebLink() { return {bareAddress(ICOFMT_MAKER_WEB_URL), ICOFMT_MAKER_WEB_URL}; }
WebLink makerMailLink() { return {ICOFMT_MAKER_MAIL, std::string("mailto:") + ICOFMT_MAKER_MAIL}; }

platform::Form makeAboutBox() {
  using platform::ControlKind;
  platform::Form form;
  form.caption = std::string("About ") + kModuleName;
  form.width = 280;
  form.height = 144;
  form.add(platform::makeControl(ControlKind::Label, "LName", kModuleName, 12, 12, 256, 13));
  form.add(
      platform::makeControl(ControlKind::Label, "LVersion", "Version " + moduleVersion(), 12, 30, 256, 13));
  form.add(platform::makeControl(ControlKind::Label, "LWhat",
                                 "Opens and saves Windows icons in image editors.", 12, 48, 256, 13));
  platform::Control& ok =
      form.add(platform::makeControl(ControlKind::Button, "B_Ok", "OK", 102, 112, 75, 23));
  ok.tabOrder = 0;
  ok.isDefault = true;
  ok.isCancel = true;
  ok.modalResult = platform::ModalResult::Ok;
  int top = 68;
  int order = 1;
  for (auto [name, link] : {std::pair{"LinkWeb", makerWebLink()}, std::pair{"LinkMail", makerMailLink()}}) {
    platform::Control& c = form.add(makeLinkButton(name, link, 12, top, 256, 17));
    c.autoSize = true;
    c.tabOrder = order++;
    top += 20;
  }
  return form;
}

void showAboutBox() {
  platform::Form form = makeAboutBox();
  platform::showModal(form);
}

platform::Control makeLinkButton(const std::string& name, const WebLink& link, int left, int top, int width,
                                 int height) {
  platform::Control c =
      platform::makeControl(platform::ControlKind::LinkButton, name, link.caption, left, top, width, height);
  c.hint = link.url;
  c.onClick = [url = link.url] { platform::openWebPage(url); };
  return c;
}

platform::Control makeAboutButton(int left, int top) {
  platform::Control c =
      platform::makeControl(platform::ControlKind::SpeedButton, "btAbout", "", left, top, 23, 22);
  c.picture = aboutGlyph();
  c.hint = "About";
  c.onClick = [] { showAboutBox(); };
  return c;
}

}  // namespace icofmt::ui
