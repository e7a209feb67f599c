// What the module will offer, counted as the module counts it: the file
// readers, the module's own test that the file exists.
#include "base/stream.h"
#include "icon/advanced_icon.h"
#include "inspect.h"
#include "platform/files.h"

namespace icofmt::icohost {

int imagesOffered(const std::string& file, bool asDestination) {
  if (!platform::fileExists(file)) return 0;
  TAdvancedIcon icon;
  try {
    if (asDestination) {
      TFileStream stream(file, TFileStream::Mode::OpenRead);
      icon.LoadFromStream(stream);
    } else {
      icon.LoadFromFile(file);
    }
  } catch (const std::exception&) {
    return 0;
  }
  return icon.Images().Count();
}

bool isCursor(const std::string& file) {
  if (!platform::fileExists(file)) return false;
  try {
    TFileStream stream(file, TFileStream::Mode::OpenRead);
    uint8_t header[4] = {};
    return stream.Read(header, 4) == 4 && header[0] == 0 && header[1] == 0 && header[2] == 2 &&
           header[3] == 0;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace icofmt::icohost
