#include "ui/about_box.h"

#include "platform/message_box.h"

namespace icofmt::ui {

std::string moduleVersion() { return ICOFMT_VERSION; }

WebLink formatPageLink() { return {"ICO file format", ICOFMT_FORMAT_PAGE_URL}; }
WebLink iconsPageLink() { return {"Icons in Windows", ICOFMT_ICONS_PAGE_URL}; }

platform::Form makeAboutBox() {
  using platform::ControlKind;
  platform::Form form;
  form.caption = std::string("About ") + kModuleName;
  form.width = 260;
  form.height = 104;
  auto label = [&](const char* name, std::string text, int top) {
    platform::Control c;
    c.kind = ControlKind::Label;
    c.name = name;
    c.caption = std::move(text);
    c.left = 12;
    c.top = top;
    c.width = 236;
    c.height = 13;
    form.add(std::move(c));
  };
  label("LName", kModuleName, 12);
  label("LVersion", "Version " + moduleVersion(), 30);
  label("LWhat", "Opens and saves Windows icons in image editors.", 48);
  platform::Control ok;
  ok.name = "B_Ok";
  ok.caption = "OK";
  ok.left = 92;
  ok.top = 72;
  ok.width = 75;
  ok.height = 23;
  ok.tabOrder = 0;
  ok.isDefault = true;
  ok.isCancel = true;
  ok.modalResult = platform::ModalResult::Ok;
  form.add(std::move(ok));
  return form;
}

void showAboutBox() {
  platform::Form form = makeAboutBox();
  platform::showModal(form);
}

platform::Control makeLinkButton(const std::string& name, const WebLink& link, int left, int top, int width,
                                 int height) {
  platform::Control c;
  c.kind = platform::ControlKind::LinkButton;
  c.name = name;
  c.caption = link.caption;
  c.hint = link.url;
  c.left = left;
  c.top = top;
  c.width = width;
  c.height = height;
  c.onClick = [url = link.url] { platform::openWebPage(url); };
  return c;
}

platform::Control makeAboutButton(int left, int top) {
  platform::Control c;
  c.kind = platform::ControlKind::SpeedButton;
  c.name = "btAbout";
  c.caption = "?";
  c.hint = "About";
  c.left = left;
  c.top = top;
  c.width = 23;
  c.height = 22;
  c.onClick = [] { showAboutBox(); };
  return c;
}

}  // namespace icofmt::ui
