#include "platform/icons.h"

namespace icofmt::platform {

IconRef createIconFromBlock(std::span<const std::uint8_t>, int, int) { return nullptr; }
IconRef copyIcon(IconRef) { return nullptr; }
void destroyIcon(IconRef) {}
int iconWidth(IconRef) { return 0; }
void drawIcon(IconRef, void*, int, int) {}

}  // namespace icofmt::platform
