// Any bytes through the icon stream reader, the cursor reader, the writer and
// the linter.
#include <cstdint>
#include <vector>

#include "base/stream.h"
#include "icon/advanced_icon.h"
#include "icon/lint.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace icofmt;
  TMemoryStream in(std::vector<uint8_t>(data, data + size));
  TAdvancedIcon icon;
  if (icon.LoadFromStream(in)) {
    TMemoryStream out;
    icon.SaveToStream(out);
    TAdvancedIcon again;
    again.LoadFromStream(out);
  }
  TAdvancedCursor cursor;
  try {
    cursor.LoadCursorFromStream(in);
  } catch (const std::exception&) {
    // The cursor reader reports a bad image to its caller.
  }
  lint::checkIcon({data, size}, "favicon.ico");
  return 0;
}
