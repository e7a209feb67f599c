#include "open/form_select.h"

#include <utility>

#include "open/sub_image_export.h"
#include "platform/files.h"
#include "ui/about_box.h"

namespace icofmt::open {

namespace {

using platform::Control;
using platform::ControlKind;
using platform::makeControl;

}  // namespace

TFormSelect::TFormSelect(std::string iconPath, const std::vector<std::string>& descriptions)
    : iconPath_(std::move(iconPath)) {
  form_.caption = std::string("Select dialog of ") + ui::kModuleName;
  form_.width = 341;
  form_.height = 173;
  form_.left = 567;
  form_.top = 329;
  form_.fontName = "MS Sans Serif";
  form_.fontHeight = 11;
  form_.resizable = false;

  form_.add(makeControl(ControlKind::Label, "Label3", "Source :", 5, 0, 40, 13));
  Control& label1 = form_.add(makeControl(ControlKind::Label, "Label1", iconPath_, 48, 0, 285, 33));
  label1.wordWrap = true;

  image1_ = form_.controls.size();
  Control& image1 = form_.add(makeControl(ControlKind::Image, select_controls::kPreview, "", kPreviewLeft,
                                          kPreviewTop, kPreviewSide, kPreviewSide));
  image1.stretch = true;

  label2_ = form_.controls.size();
  // Sized to its caption: "12 subicons" is wider than the design's "0 subicons".
  form_.add(makeControl(ControlKind::Label, select_controls::kImageCount, "0 subicons", 146, 32, 51, 13))
      .autoSize = true;

  comboBox1_ = form_.controls.size();
  Control& combo =
      form_.add(makeControl(ControlKind::ComboBox, select_controls::kImageList, "", 146, 48, 185, 21));
  combo.tabOrder = 0;
  combo.onChange = [this] { ComboBox1Change(); };

  checkBox1_ = form_.controls.size();
  Control& check =
      form_.add(makeControl(ControlKind::CheckBox, select_controls::kStretch, "Stretch", 146, 80, 65, 17));
  check.checked = true;
  check.tabOrder = 2;
  check.onClick = [this] { CheckBox1Click(); };

  Control& ok = form_.add(makeControl(ControlKind::Button, select_controls::kOk, "Ok", 280, 80, 49, 21));
  ok.modalResult = platform::ModalResult::Ok;
  ok.tabOrder = 1;
  ok.onClick = [this] { Button1Click(); };

  // Outside the 341-pixel client width: only Escape reaches it.
  Control& cancel =
      form_.add(makeControl(ControlKind::Button, select_controls::kCancel, "Cancel", 400, 32, 49, 17));
  cancel.modalResult = platform::ModalResult::Cancel;
  cancel.isCancel = true;
  cancel.tabOrder = 3;
  cancel.onClick = [this] { Button2Click(); };

  form_.add(ui::makeAboutButton(241, 80));
  form_.add(ui::makeLinkButton("LinkFormat", ui::formatPageLink(), 146, 114, 89, 21));
  form_.add(ui::makeLinkButton("LinkIcons", ui::iconsPageLink(), 242, 114, 89, 21));

  form_.onPaint = [this] { FormPaint(); };

  Control& list = control(comboBox1_);
  for (std::size_t i = 0; i < descriptions.size(); ++i)
    list.items.push_back(std::to_string(i + 1) + ". " + descriptions[i]);
  list.itemIndex = descriptions.empty() ? -1 : 0;
  chosenIndex_ = 0;
  control(label2_).caption = std::to_string(list.items.size()) + " subicons";
  ComboBox1Change();
}

platform::ModalResult TFormSelect::ShowModal() { return platform::showModal(form_); }

void TFormSelect::FormPaint() {
  // Encloses the 128 x 128 preview box, one pixel outside it.
  form_.frames = {platform::Rect{kPreviewLeft - 1, kPreviewTop - 1, kPreviewLeft + kPreviewSide + 1,
                                 kPreviewTop + kPreviewSide + 1}};
}

void TFormSelect::ComboBox1Change() {
  const int index = control(comboBox1_).itemIndex;
  platform::Picture& picture = control(image1_).picture;
  if (platform::fileExists(iconPath_) && index >= 0) {
    renderPreview(iconPath_, index, picture, platform::faceColour());
    placePreview();
  } else {
    picture = {};
  }
}

void TFormSelect::CheckBox1Click() {
  control(image1_).stretch = control(checkBox1_).checked;
  placePreview();
}

void TFormSelect::Button1Click() {
  chosenIndex_ = control(comboBox1_).itemIndex;
  form_.close(platform::ModalResult::Ok);
}

void TFormSelect::Button2Click() { form_.close(platform::ModalResult::Cancel); }

void TFormSelect::placePreview() {
  Control& image = control(image1_);
  const int w = image.picture.width, h = image.picture.height;
  if (control(checkBox1_).checked || w > kPreviewSide || h > kPreviewSide) {
    image.left = kPreviewLeft;
    image.top = kPreviewTop;
    image.width = kPreviewSide;
    image.height = kPreviewSide;
  } else {
    image.left = kPreviewLeft + (kPreviewSide - w) / 2;
    image.top = kPreviewTop + (kPreviewSide - h) / 2;
    image.width = w;
    image.height = h;
  }
  form_.repaint();
}

}  // namespace icofmt::open
