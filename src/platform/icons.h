#pragma once
// The system's icons, for display only: made from an icon image block as
// icon files hold them, drawn on a device context. POSIX has none: there
// every icon is drawn by the module's own code.
#include <cstdint>
#include <span>

namespace icofmt::platform {

using IconRef = void*;

// Null when the system has no icons or cannot make one from the block.
IconRef createIconFromBlock(std::span<const std::uint8_t> block, int width, int height);
IconRef copyIcon(IconRef icon);
void destroyIcon(IconRef icon);
// Width of the icon's colour bitmap, or of its mask when it has none.
int iconWidth(IconRef icon);
// Draws at its own size, mask then image, on a device context.
void drawIcon(IconRef icon, void* deviceContext, int x, int y);

}  // namespace icofmt::platform
