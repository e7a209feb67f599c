// What the module will offer, counted as the module counts it: the file
// readers, the module's own test that the file exists.
#include <new>

#include "base/stream.h"
#include "icon/advanced_icon.h"
#include "icon/stored_icon.h"
#include "inspect.h"
#include "pixels/png_image.h"
#include "platform/files.h"

namespace icofmt::icohost {

int imagesOffered(const std::string& file, bool asDestination, int enough) {
  if (!platform::fileExists(file)) return 0;
  try {
    if (asDestination) {
      TAdvancedIcon icon;
      TFileStream stream(file, TFileStream::Mode::OpenRead);
      icon.LoadFromStream(stream);
      return icon.Images().Count();
    }
    // The file reader's entries, a PNG entry counted when it decodes: what
    // makes the file reader skip one is its decoding, not what it builds of
    // the pixels after (TStoredIcon keeps that reader's entries).
    TStoredIcon icon;
    icon.LoadFromFile(file);
    // Every entry that is no PNG counts; a PNG entry only when it decodes,
    // which is the cost worth sparing once the answer is sure.
    int count = 0;
    for (const TStoredImage& image : icon.Images()) count += image.Png ? 0 : 1;
    for (const TStoredImage& image : icon.Images()) {
      if (!image.Png || count >= enough) continue;
      try {
        PngImage decoded;
        decoded.LoadFromMemory(image.Block);
      } catch (const std::bad_alloc&) {
        throw;
      } catch (const std::exception&) {
        continue;
      }
      ++count;
    }
    return count;
  } catch (const std::exception&) {
    return 0;
  }
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
