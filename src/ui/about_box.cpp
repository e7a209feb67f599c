#include "ui/about_box.h"

#include "platform/message_box.h"

namespace icofmt::ui {

std::string moduleVersion() { return ICOFMT_VERSION; }

WebLink formatPageLink() { return {"ICO file format", ICOFMT_FORMAT_PAGE_URL}; }
WebLink iconsPageLink() { return {"Windows icons", ICOFMT_ICONS_PAGE_URL}; }

platform::Form makeAboutBox() {
  using platform::ControlKind;
  platform::Form form;
  form.caption = std::string("About ") + kModuleName;
  form.width = 260;
  form.height = 104;
  form.add(platform::makeControl(ControlKind::Label, "LName", kModuleName, 12, 12, 236, 13));
  form.add(
      platform::makeControl(ControlKind::Label, "LVersion", "Version " + moduleVersion(), 12, 30, 236, 13));
  form.add(platform::makeControl(ControlKind::Label, "LWhat",
                                 "Opens and saves Windows icons in image editors.", 12, 48, 236, 13));
  platform::Control& ok = form.add(platform::makeControl(ControlKind::Button, "B_Ok", "OK", 92, 72, 75, 23));
  ok.tabOrder = 0;
  ok.isDefault = true;
  ok.isCancel = true;
  ok.modalResult = platform::ModalResult::Ok;
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
      platform::makeControl(platform::ControlKind::SpeedButton, "btAbout", "?", left, top, 23, 22);
  c.hint = "About";
  c.onClick = [] { showAboutBox(); };
  return c;
}

}  // namespace icofmt::ui
