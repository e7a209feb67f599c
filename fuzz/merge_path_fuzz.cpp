// The merge path of a save: a small image saved into a hostile destination
// icon, through the options form (the list, a preview, checking and deleting
// an image) and AddBitmapToIconStream. The first bytes choose the answers,
// the rest is the destination.
#include <cstdint>
#include <vector>

#include "base/stream.h"
#include "icon/advanced_icon.h"
#include "module_driver.h"
#include "pixels/bitmap.h"
#include "platform/scripted.h"
#include "save/assembly.h"
#include "save/options_form.h"

namespace {

using namespace icofmt;
using platform::scripted::UserAction;
namespace controls = save::options_controls;

constexpr int kDepths[] = {0, 1, 4, 8, 24, 32};

void smallImage(TBitmap& image, TBitmap& mask, int side, std::uint8_t seed) {
  image.SetPixelFormat(PixelFormat::Bits32);
  image.SetSize(side, side);
  mask.SetPixelFormat(PixelFormat::Bits1);
  mask.SetSize(side, side);
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) image.SetPixel(x, y, static_cast<std::uint32_t>((x * 40 + y * 7) ^ seed));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const std::uint8_t how = data[0];
  const int item = data[1] & 15;
  std::vector<std::uint8_t> destination(data + 3, data + size);
  std::vector<std::uint8_t> assemblyBuffer;
  fuzz::freshOperation();

  std::vector<UserAction> actions = {{UserAction::Kind::Check, controls::kAdvanced, -1},
                                     {UserAction::Kind::Select, controls::kImageList, item},
                                     {UserAction::Kind::Select, controls::kDepth, data[2] % 6}};
  if (how & 1) actions.push_back({UserAction::Kind::CheckItem, controls::kImageList, item});
  if (how & 2) actions.push_back({UserAction::Kind::CheckItem, controls::kImageList, (item + 1) & 15});
  if (how & 4) actions.push_back({UserAction::Kind::Click, controls::kDelete, -1});
  if (how & 8) actions.push_back({UserAction::Kind::Check, controls::kReplaceExact, -1});
  if (how & 16) actions.push_back({UserAction::Kind::Check, controls::kPngCompression, -1});
  actions.push_back({how & 32 ? UserAction::Kind::Escape : UserAction::Kind::Click, controls::kOk, -1});
  platform::scripted::setUserActions(actions);

  save::OptionsInput input{fuzz::workFolder() + "dest.ico", 16, 16, 3};
  std::int32_t proposed = kDepths[data[2] % 6];
  save::SaveChoices choices;
  save::ShowOptions(input, proposed, destination, assemblyBuffer, choices);

  const int side = how & 64 ? 256 : 16;
  TBitmap image, mask;
  smallImage(image, mask, side, how);
  const std::vector<std::uint8_t> before = destination;
  const std::int32_t at = save::AddBitmapToIconStream(
      &image, &mask, &destination, kDepths[(data[2] >> 3) % 6], (how & 128) != 0, choices.mergeMode);
  if (at < 0) {
    if (destination != before) __builtin_trap();  // a refused merge changes nothing
  } else {
    // A merged icon holds the new image where the merge says it is.
    TMemoryStream written(destination);
    TAdvancedIcon icon;
    if (!icon.LoadFromStream(written) || static_cast<std::uint32_t>(at) >= icon.Images().Count())
      __builtin_trap();
  }
  fuzz::freshOperation();
  return 0;
}
