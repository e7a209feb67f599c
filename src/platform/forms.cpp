#include "platform/forms.h"

namespace icofmt::platform {

// Out of line: built in place, the short strings trip GCC 12's false warnings
// in optimised builds.
Control makeControl(ControlKind kind, std::string name, std::string caption, int left, int top, int width,
                    int height) {
  Control c;
  c.kind = kind;
  c.name = std::move(name);
  c.caption = std::move(caption);
  c.left = left;
  c.top = top;
  c.width = width;
  c.height = height;
  return c;
}

}  // namespace icofmt::platform
