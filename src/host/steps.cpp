// The per-selector work of opening and saving.
#include "host/steps.h"

#include <exception>

#include "host/module_state.h"
#include "icon/advanced_icon.h"
#include "pixels/png_image.h"
#include "platform/files.h"

namespace icofmt::host {

// Until the selection form exists the first image is opened.
void prepareRead() {
  ModuleState& s = moduleState();
  const sdk::FormatRecord* block = s.formatParamBlock;
  if (block == nullptr) return;
  if (block->fileSpec != nullptr) {
    const unsigned char* name = block->fileSpec->name;
    s.hostFileName.assign(reinterpret_cast<const char*>(name + 1), name[0]);
  } else {
    s.hostFileName.clear();
  }
  s.iconPath = s.hostFileName;
  s.hostDataFork = block->dataFork;
  std::string file = s.hostFileName.substr(s.hostFileName.find_last_of("\\/:") + 1);
  std::size_t dot = file.rfind('.');
  s.tempPngPath = s.tempFolder + (dot == std::string::npos ? file : file.substr(0, dot)) + ".png";
  if (platform::fileExists(s.tempPngPath)) platform::deleteFile(s.tempPngPath);
  try {
    TAdvancedIcon icon;
    if (platform::fileExists(s.iconPath)) icon.LoadFromFile(s.iconPath);
    if (icon.Images().Count() > 0) {
      PngImage png;
      icon.Images().Items(0)->SaveToPNG(png);
      png.SaveToFile(s.tempPngPath);
    }
  } catch (const std::exception&) {
    if (platform::fileExists(s.tempPngPath)) platform::deleteFile(s.tempPngPath);
  }
  if (platform::fileExists(s.tempPngPath))
    s.tempPngHandle =
        platform::openFile(s.tempPngPath, platform::FileAccess::Read, platform::FileShare::ReadWrite);
  else
    s.errorFlag = 1;
}

void saveDestinationCopy() {}
void reuseDestinationCopy() {}
void lookUpDestinationTitle() {}
void captureWriteFields() {}
void captureLookupTables() {}
void capturePixels() {}
void assembleDestination() {}

}  // namespace icofmt::host
