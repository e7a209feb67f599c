#pragma once
// The system's icons behind the images' handles where the system has them:
// drawn on device contexts by the system, on bitmaps by our own code so that
// pixels stay the same everywhere.
#include "icon/icon_graphic.h"

namespace icofmt::host {

// A window's or bitmap's device context to draw icons on.
class TDeviceCanvas : public TCanvas {
 public:
  explicit TDeviceCanvas(void* deviceContext) : DeviceContext(deviceContext) {}
  void* DeviceContext;
};

// Makes the images' handles system icons where there are any (Windows);
// elsewhere the portable handles stay.
void registerPlatformIconHandles();

}  // namespace icofmt::host
