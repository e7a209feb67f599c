#include "open/prepare_open.h"

#include <filesystem>
#include <system_error>

#include "icon/advanced_icon.h"
#include "open/form_select.h"
#include "open/sub_image_export.h"
#include "platform/files.h"

namespace icofmt::open {

std::string tempPngPathFor(const std::string& tempFolder, const std::string& hostFileName) {
  if (tempFolder.empty()) return {};
  // File calls see the name up to its first NUL; so does the temporary name.
  const std::string path = hostFileName.substr(0, hostFileName.find('\0'));
  const std::size_t cut = path.find_last_of("/\\:");
  std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  return tempFolder + name + ".png";
}

PreparedOpen prepareOpen(const std::string& iconPath, const std::string& tempFolder,
                         std::int32_t chosenIndex) {
  PreparedOpen result;
  result.chosenIndex = chosenIndex;
  result.tempPngPath = tempPngPathFor(tempFolder, iconPath);
  if (result.tempPngPath.empty()) return result;
  // An icon named *.png that lies in the temporary folder is itself the
  // temporary name: deleting or exporting over it would destroy the file
  // being opened.
  std::error_code error;
  if (std::filesystem::equivalent(iconPath, result.tempPngPath, error)) {
    result.tempPngPath.clear();
    return result;
  }
  // A PNG of the same name from an earlier operation must never be opened in
  // place of the chosen image.
  if (platform::fileExists(result.tempPngPath) && !platform::deleteFile(result.tempPngPath)) return result;

  // Read once for the list and the export; the form's previews read the file
  // again, as it is while the user looks.
  TAdvancedIcon icon;
  loadIcon(iconPath, icon);
  const std::vector<std::string> descriptions = listSubImages(icon);
  if (descriptions.empty()) return result;
  if (descriptions.size() == 1) {
    result.chosenIndex = 0;
  } else {
    TFormSelect form(iconPath, descriptions);
    const platform::ModalResult answer = form.ShowModal();
    result.chosenIndex = form.chosenIndex();
    if (answer != platform::ModalResult::Ok) {
      result.outcome = PreparedOpen::Outcome::Cancelled;
      return result;
    }
  }
  if (exportSubImage(icon, result.chosenIndex, result.tempPngPath))
    result.outcome = PreparedOpen::Outcome::Exported;
  return result;
}

}  // namespace icofmt::open
