#include "platform/icons.h"

#include <windows.h>

#include <vector>

namespace icofmt::platform {

IconRef createIconFromBlock(std::span<const std::uint8_t> block, int width, int height) {
  if (block.empty()) return nullptr;
  // The call takes a non-const buffer; hand it a copy of the block.
  std::vector<BYTE> bytes(block.begin(), block.end());
  return ::CreateIconFromResourceEx(bytes.data(), static_cast<DWORD>(bytes.size()), TRUE, 0x30000, width,
                                    height, LR_DEFAULTCOLOR);
}

IconRef copyIcon(IconRef icon) { return icon ? ::CopyIcon(static_cast<HICON>(icon)) : nullptr; }

void destroyIcon(IconRef icon) {
  if (icon) ::DestroyIcon(static_cast<HICON>(icon));
}

int iconWidth(IconRef icon) {
  ICONINFO info{};
  if (!icon || !::GetIconInfo(static_cast<HICON>(icon), &info)) return 0;
  BITMAP bm{};
  HBITMAP measured = info.hbmColor ? info.hbmColor : info.hbmMask;
  const int width = measured && ::GetObjectA(measured, sizeof bm, &bm) ? bm.bmWidth : 0;
  if (info.hbmColor) ::DeleteObject(info.hbmColor);
  if (info.hbmMask) ::DeleteObject(info.hbmMask);
  return width;
}

void drawIcon(IconRef icon, void* deviceContext, int x, int y) {
  if (icon && deviceContext)
    ::DrawIconEx(static_cast<HDC>(deviceContext), x, y, static_cast<HICON>(icon), 0, 0, 0, nullptr,
                 DI_NORMAL);
}

}  // namespace icofmt::platform
