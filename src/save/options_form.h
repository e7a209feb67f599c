#pragma once
// The save options form, "ICO options": where the image goes and in what
// format, the colour depth, replace or add, PNG compression of a 256 x 256
// image, and deletion of images already in the destination.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/forms.h"
#include "save/save_choices.h"

namespace icofmt::save {

// The names of the controls that code outside the form reaches (the scripted
// user's answers, the tests, the Windows driver), as the form names them.
namespace options_controls {
inline constexpr char kAdvanced[] = "ChkB1";
inline constexpr char kOk[] = "B_Ok";
inline constexpr char kCancel[] = "B_Cancel";
inline constexpr char kPreview[] = "Im";
inline constexpr char kImageList[] = "ChkLB1";
inline constexpr char kDelete[] = "B_Delete";
inline constexpr char kDepth[] = "CB2";
inline constexpr char kReplaceExact[] = "ChkB3";
inline constexpr char kPngCompression[] = "ChkB2";
inline constexpr char kFormat[] = "Label2";
inline constexpr char kImageCount[] = "Label5";
inline constexpr char kAbout[] = "btAbout";
}  // namespace options_controls

// Form heights: before activation, compact (destination, format, buttons)
// and expanded ("Advanced": preview, list, depth and check boxes).
inline constexpr int kOptionsHeightShown = 108;
inline constexpr int kOptionsHeightCompact = 115;
inline constexpr int kOptionsHeightExpanded = 315;

// Depth list items: "auto", "1 bpp", "4 bpp", "8 bpp",
// "24 bpp (not recommended)", "32 bpp".
inline constexpr int kDepthItemAuto = 0;
// Bits per pixel of a depth list item; 0 for "auto" and for no selection.
int depthOfItem(int item);
// The item of a depth, or -1 for a depth without one.
int itemOfDepth(int depth);
// The check box of a side of kSmallerSizes under "Also save smaller sizes":
// "ChkSize16". Inline so that the reference host names it without linking
// the save code.
inline std::string smallerSizeControl(std::int32_t side) { return "ChkSize" + std::to_string(side); }
// The format line: "32x32x8bpp".
std::string formatText(std::int32_t width, std::int32_t height, int depth);

struct OptionsInput {
  std::string destinationPath;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t hostImageMode = 0;
};

class TFormOptSave {
 public:
  // assemblyBuffer: the icon bytes the list shows and deletions change; it
  // must outlive the form. choices receives the results on Ok; its smaller
  // sizes are ticked when the form opens.
  TFormOptSave(const OptionsInput& input, std::int32_t proposedDepth,
               std::vector<std::uint8_t>& assemblyBuffer, SaveChoices& choices);
  // The handlers hold this form's address.
  TFormOptSave(const TFormOptSave&) = delete;
  TFormOptSave& operator=(const TFormOptSave&) = delete;

  platform::Form& form() { return form_; }
  platform::Control& control(const char* name);

  void FormActivate();
  void FormPaint();
  void ChkLB1Click();
  void CB2Click();
  void ChkB1Click();
  void B_OkClick();
  void B_DeleteClick();

 private:
  void addControls();
  void addSmallerSizes();
  void fillList();

  platform::Form form_;
  OptionsInput input_;
  std::int32_t proposedDepth_;
  std::vector<std::uint8_t>& assemblyBuffer_;
  SaveChoices& choices_;
};

// Shows the form for one save. assemblyBuffer becomes a copy of
// destinationCopy for the form to work on and is copied back when the form
// closes, with Ok or Cancel, so deletions count either way. Gray images
// (mode 1) are proposed at 8 bits. Choices are set on Ok.
OptionsAnswer ShowOptions(const OptionsInput& input, std::int32_t& proposedDepth,
                          std::vector<std::uint8_t>& destinationCopy,
                          std::vector<std::uint8_t>& assemblyBuffer, SaveChoices& choices);

}  // namespace icofmt::save
