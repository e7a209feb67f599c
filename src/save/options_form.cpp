#include "save/options_form.h"

#include <algorithm>
#include <array>
#include <exception>
#include <stdexcept>

#include "base/stream.h"
#include "icon/advanced_icon.h"
#include "pixels/bitmap.h"
#include "pixels/png_image.h"
#include "platform/message_box.h"
#include "save/host_image.h"
#include "ui/about_box.h"
#include "ui/preview.h"

namespace icofmt::save {

namespace {

using platform::Control;
using platform::ControlKind;
using platform::makeControl;

constexpr std::array<int, 6> kItemDepths{0, 1, 4, 8, 24, 32};
constexpr int kPngSide = 256;
constexpr int kButtonsTopCompact = 56;
constexpr int kButtonsTopExpanded = 212;
constexpr int kSizesTop = 244;
constexpr int kSizeStep = 74;

bool chosen(const std::vector<int32_t>& sizes, int32_t side) {
  return std::find(sizes.begin(), sizes.end(), side) != sizes.end();
}

Control label(const char* name, std::string caption, int left, int top, int width) {
  return makeControl(ControlKind::Label, name, std::move(caption), left, top, width, 13);
}

bool loadIcon(const std::vector<uint8_t>& bytes, TAdvancedIcon& icon) {
  if (bytes.empty()) return false;
  THCustomMemoryStream in(bytes);
  return icon.LoadFromStream(in);
}

// The image drawn by its alpha over the form's face, as the picture an Image shows.
platform::Picture previewOf(const TSubIcon& image) {
  PngImage png;
  image.SaveToPNG(png);
  return ui::blendedPicture(png, platform::faceColour());
}

}  // namespace

int depthOfItem(int item) {
  return item >= 0 && item < static_cast<int>(kItemDepths.size()) ? kItemDepths[static_cast<size_t>(item)]
                                                                  : 0;
}

int itemOfDepth(int depth) {
  for (size_t i = 1; i < kItemDepths.size(); ++i)
    if (kItemDepths[i] == depth) return static_cast<int>(i);
  return -1;
}

TFormOptSave::TFormOptSave(const OptionsInput& input, int32_t proposedDepth,
                           std::vector<uint8_t>& assemblyBuffer, SaveChoices& choices)
    : input_(input), proposedDepth_(proposedDepth), assemblyBuffer_(assemblyBuffer), choices_(choices) {
  form_.caption = "ICO options";
  form_.width = 454;
  // Its heights are the window's: the compact one leaves room for the
  // destination, the format and the buttons only.
  form_.height = kOptionsHeightShown;
  form_.heightIncludesFrame = true;
  form_.fontHeight = 11;
  form_.resizable = false;
  form_.onActivate = [this] { FormActivate(); };
  form_.onPaint = [this] { FormPaint(); };
  addControls();
}

void TFormOptSave::addControls() {
  const unsigned leftTopRight = platform::kAnchorLeft | platform::kAnchorTop | platform::kAnchorRight;
  form_.add(label("Label3", "Destination :", 8, 8, 60));
  // One line high: a long path keeps its file name in sight, shortened in the
  // middle, and shows whole in its tool tip.
  Control& path = form_.add(label("Label4", input_.destinationPath, 72, 8, 375));
  path.anchors = leftTopRight;
  path.pathEllipsis = true;
  path.hint = input_.destinationPath;
  form_.add(label("Label1", "Destination image format :", 8, 32, 125));
  form_
      .add(label(options_controls::kFormat, formatText(input_.width, input_.height, proposedDepth_), 136, 32,
                 306))
      .anchors = leftTopRight;

  Control advanced =
      makeControl(ControlKind::CheckBox, options_controls::kAdvanced, "Advanced", 8, 56, 81, 17);
  advanced.tabOrder = 3;
  advanced.onClick = [this] { ChkB1Click(); };
  form_.add(std::move(advanced));
  form_.add(ui::makeLinkButton("LB_Link", ui::formatPageLink(), 139, 56, 115, 21));
  form_.add(ui::makeAboutButton(266, 55));
  Control ok = makeControl(ControlKind::Button, options_controls::kOk, "Ok", 304, kButtonsTopCompact, 64, 21);
  ok.tabOrder = 2;
  ok.modalResult = platform::ModalResult::Ok;
  ok.onClick = [this] { B_OkClick(); };
  form_.add(std::move(ok));
  Control cancel =
      makeControl(ControlKind::Button, options_controls::kCancel, "Cancel", 384, kButtonsTopCompact, 64, 21);
  cancel.tabOrder = 4;
  cancel.modalResult = platform::ModalResult::Cancel;
  cancel.isCancel = true;
  form_.add(std::move(cancel));

  form_.add(label("Label9", "Selected image :", 8, 88, 80));
  Control preview = makeControl(ControlKind::Image, options_controls::kPreview, "", 8, 104, 128, 128);
  preview.stretch = true;
  form_.add(std::move(preview));
  form_.add(label(options_controls::kImageCount, "0 subicons in destination file :", 144, 88, 153));
  Control list = makeControl(ControlKind::ListBox, options_controls::kImageList, "", 144, 104, 153, 100);
  list.checkBoxes = true;
  list.tabOrder = 0;
  list.onChange = [this] { ChkLB1Click(); };
  form_.add(std::move(list));
  Control erase = makeControl(ControlKind::Button, options_controls::kDelete, "Delete", 144, 212, 64, 21);
  erase.tabOrder = 6;
  erase.onClick = [this] { B_DeleteClick(); };
  form_.add(std::move(erase));

  form_.add(label("Label7", "Color resolution :", 304, 88, 90));
  Control depths = makeControl(ControlKind::ComboBox, options_controls::kDepth, "", 304, 104, 145, 21);
  depths.items = {"auto", "1 bpp", "4 bpp", "8 bpp", "24 bpp (not recommended)", "32 bpp"};
  depths.tabOrder = 1;
  depths.onChange = [this] { CB2Click(); };
  form_.add(std::move(depths));
  Control replace = makeControl(ControlKind::CheckBox, options_controls::kReplaceExact,
                                "Replace exact format", 304, 128, 129, 17);
  replace.checked = true;
  replace.tabOrder = 7;
  form_.add(std::move(replace));
  Control png = makeControl(ControlKind::CheckBox, options_controls::kPngCompression,
                            "PNG compression for Vista", 304, 152, 145, 17);
  png.tabOrder = 5;
  form_.add(std::move(png));
  addSmallerSizes();
}

// Below the rest of the expanded layout, so every other control keeps its
// place. A side not smaller than the picture would be no smaller size.
void TFormOptSave::addSmallerSizes() {
  form_.add(label("Label10", "Also save smaller sizes :", 8, kSizesTop, 130));
  const int32_t largest = std::max(input_.width, input_.height);
  int order = 8;
  int left = 8;
  for (int32_t side : kSmallerSizes) {
    const std::string name = smallerSizeControl(side);
    const std::string caption = std::to_string(side) + "x" + std::to_string(side);
    Control box = makeControl(ControlKind::CheckBox, name.c_str(), caption, left, kSizesTop + 16, 60, 17);
    box.enabled = side < largest;
    box.checked = box.enabled && chosen(choices_.smallerSizes, side);
    box.tabOrder = order++;
    form_.add(std::move(box));
    left += kSizeStep;
  }
}

platform::Control& TFormOptSave::control(const char* name) {
  Control* c = form_.find(name);
  if (c == nullptr) throw std::logic_error(std::string("no control ") + name);
  return *c;
}

std::string formatText(int32_t width, int32_t height, int depth) {
  return std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(depth) + "bpp";
}

void TFormOptSave::FormActivate() { form_.height = kOptionsHeightCompact; }

void TFormOptSave::FormPaint() {
  // Just outside the 128 x 128 preview at (8, 104).
  form_.frames = {platform::Rect{7, 103, 137, 233}};
  if (form_.tag != 0) return;
  form_.tag = 1;
  fillList();
}

// The list, its count and the first image's preview, from assemblyBuffer.
void TFormOptSave::fillList() {
  Control& list = control(options_controls::kImageList);
  list.items.clear();
  list.itemChecked.clear();
  list.itemIndex = -1;
  TAdvancedIcon icon;
  if (loadIcon(assemblyBuffer_, icon))
    for (uint32_t i = 0; i < icon.Images().Count(); ++i)
      list.items.push_back(icon.Images().Items(i)->Description());
  list.itemChecked.assign(list.items.size(), false);
  control(options_controls::kImageCount).caption =
      std::to_string(list.items.size()) + " subicons in destination file";
  if (list.items.size() < 2) control(options_controls::kDelete).enabled = false;
  if (!list.items.empty()) list.itemIndex = 0;
  ChkLB1Click();
}

void TFormOptSave::ChkLB1Click() {
  const int selected = control(options_controls::kImageList).itemIndex;
  platform::Picture picture;
  try {
    TAdvancedIcon icon;
    if (selected >= 0 && loadIcon(assemblyBuffer_, icon))
      if (const TSubIcon* image = icon.Images().Items(static_cast<uint32_t>(selected)))
        picture = previewOf(*image);
  } catch (const std::exception&) {
    // An image that cannot be shown leaves the preview empty; the form stays usable.
    picture = {};
  }
  control(options_controls::kPreview).picture = std::move(picture);
}

void TFormOptSave::CB2Click() {
  Control& depths = control(options_controls::kDepth);
  if (depths.itemIndex == kDepthItemAuto) {
    const int item = itemOfDepth(proposedDepth_);
    depths.itemIndex = item >= 0 ? item : itemOfDepth(32);
  }
  control(options_controls::kFormat).caption =
      formatText(input_.width, input_.height, depthOfItem(depths.itemIndex));
}

void TFormOptSave::ChkB1Click() {
  const bool expanded = control(options_controls::kAdvanced).checked;
  const int top = expanded ? kButtonsTopExpanded : kButtonsTopCompact;
  control(options_controls::kOk).top = top;
  control(options_controls::kCancel).top = top;
  control(options_controls::kAbout).top = top - 1;
  form_.height = expanded ? kOptionsHeightExpanded : kOptionsHeightCompact;
}

void TFormOptSave::B_OkClick() {
  choices_.mergeMode = control(options_controls::kReplaceExact).checked ? kMergeReplaceExact : kMergeAdd;
  choices_.depth = depthOfItem(control(options_controls::kDepth).itemIndex);
  choices_.pngCompression = control(options_controls::kPngCompression).checked;
  // A side this picture cannot have keeps its choice for the next save.
  std::vector<int32_t> sizes;
  for (int32_t side : kSmallerSizes) {
    const Control& box = control(smallerSizeControl(side).c_str());
    if (box.enabled ? box.checked : chosen(choices_.smallerSizes, side)) sizes.push_back(side);
  }
  choices_.smallerSizes = std::move(sizes);
}

void TFormOptSave::B_DeleteClick() {
  if (platform::messageBox("Do you really want to delete checked images?", "Confirm",
                           platform::MessageButtons::YesNo,
                           platform::MessageIcon::Question) == platform::MessageAnswer::Yes) {
    const Control& list = control(options_controls::kImageList);
    const size_t lines = list.items.size();
    std::vector<uint32_t> positions;
    for (size_t i = 0; i < lines; ++i) {
      if (i >= list.itemChecked.size() || !list.itemChecked[i]) continue;
      // Every line checked: the last one stays, so an icon never loses its last image.
      if (i + 1 == lines && positions.size() == i) break;
      positions.push_back(static_cast<uint32_t>(i));
    }
    if (!positions.empty()) {
      TAdvancedIcon icon;
      try {
        loadIcon(assemblyBuffer_, icon);
        for (auto it = positions.rbegin(); it != positions.rend(); ++it)
          if (*it < icon.Images().Count()) icon.Images().Delete(*it);
        TMemoryStream out;
        icon.SaveToStream(out);
        assemblyBuffer_ = std::move(out.Bytes());
      } catch (const std::exception&) {
        // assemblyBuffer keeps every image when the icon cannot be rewritten.
      }
    }
    fillList();
  }
  if (control(options_controls::kImageList).items.size() < 2)
    control(options_controls::kDelete).enabled = false;
}

OptionsAnswer ShowOptions(const OptionsInput& input, int32_t& proposedDepth,
                          std::vector<uint8_t>& destinationCopy, std::vector<uint8_t>& assemblyBuffer,
                          SaveChoices& choices) {
  assemblyBuffer = destinationCopy;
  const int32_t shownDepth = proposedDepth;
  if (input.hostImageMode == kModeGray) proposedDepth = 8;
  TFormOptSave dialog(input, proposedDepth, assemblyBuffer, choices);
  // The format text shows the depth as proposed, before Gray was forced.
  dialog.control(options_controls::kFormat).caption = formatText(input.width, input.height, shownDepth);
  dialog.control(options_controls::kDepth).itemIndex = itemOfDepth(proposedDepth);
  if (input.width == kPngSide && input.height == kPngSide &&
      (proposedDepth == 4 || proposedDepth == 8 || proposedDepth == 32))
    dialog.control(options_controls::kPngCompression).checked = true;
  const bool ok = platform::showModal(dialog.form()) == platform::ModalResult::Ok;
  if (!ok && assemblyBuffer.empty()) return OptionsAnswer::CancelledNewFile;
  destinationCopy = assemblyBuffer;
  return ok ? OptionsAnswer::Ok : OptionsAnswer::Cancelled;
}

}  // namespace icofmt::save
