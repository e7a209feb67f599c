#pragma once
// The selection form: the images of an icon file in a drop-down list, a
// preview of the selected one, Ok to open it. Escape cancels through Button2,
// which lies outside the client area and is never seen.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/forms.h"

namespace icofmt::open {

// The names of the controls that code outside the form reaches (the scripted
// user's answers, the tests, the Windows driver), as the form names them.
namespace select_controls {
inline constexpr char kPreview[] = "Image1";
inline constexpr char kImageCount[] = "Label2";
inline constexpr char kImageList[] = "ComboBox1";
inline constexpr char kStretch[] = "CheckBox1";
inline constexpr char kOk[] = "Button1";
inline constexpr char kCancel[] = "Button2";
}  // namespace select_controls

// Where the preview sits and the frame FormPaint draws around it.
constexpr int kPreviewLeft = 7;
constexpr int kPreviewTop = 38;
constexpr int kPreviewSide = 128;

class TFormSelect {
 public:
  // The form for the icon file at iconPath, with one item per description
  // ("1. " + the first, ...), the first selected and previewed.
  TFormSelect(std::string iconPath, const std::vector<std::string>& descriptions);
  // The handlers point into this object: it stays where it was made.
  TFormSelect(const TFormSelect&) = delete;
  TFormSelect& operator=(const TFormSelect&) = delete;

  platform::ModalResult ShowModal();
  // The image Ok chose (0 until then).
  std::int32_t chosenIndex() const { return chosenIndex_; }

  platform::Form& form() { return form_; }

  void FormPaint();
  void ComboBox1Change();
  void CheckBox1Click();
  void Button1Click();
  void Button2Click();
  // Sizes and places Image1 for its picture: the whole 128 x 128 box when
  // stretching or when the picture is larger, else its own size, centred.
  void placePreview();

 private:
  platform::Control& control(std::size_t index) { return form_.controls[index]; }

  platform::Form form_;
  std::string iconPath_;
  std::int32_t chosenIndex_ = 0;
  // Positions in form_.controls, fixed once the form is built.
  std::size_t image1_ = 0, label2_ = 0, comboBox1_ = 0, checkBox1_ = 0;
};

}  // namespace icofmt::open
