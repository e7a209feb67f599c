#include "host/icon_handles.h"

#include "platform/icons.h"

namespace icofmt::host {

#if defined(_WIN32)
namespace {

class PlatformIconHandle : public TIconHandle {
 public:
  PlatformIconHandle(std::unique_ptr<TIconHandle> portable, platform::IconRef icon)
      : portable_(std::move(portable)), icon_(icon) {}
  ~PlatformIconHandle() override { platform::destroyIcon(icon_); }
  PlatformIconHandle(const PlatformIconHandle&) = delete;
  PlatformIconHandle& operator=(const PlatformIconHandle&) = delete;

  std::unique_ptr<TIconHandle> Copy() const override {
    return std::make_unique<PlatformIconHandle>(portable_ ? portable_->Copy() : nullptr,
                                                platform::copyIcon(icon_));
  }
  void Draw(TCanvas& canvas, int x, int y) const override {
    if (auto* device = dynamic_cast<TDeviceCanvas*>(&canvas))
      platform::drawIcon(icon_, device->DeviceContext, x, y);
    else if (portable_)
      portable_->Draw(canvas, x, y);
  }
  int Width() const override {
    return icon_ ? platform::iconWidth(icon_) : portable_ ? portable_->Width() : 0;
  }

 private:
  std::unique_ptr<TIconHandle> portable_;
  platform::IconRef icon_;
};

std::unique_ptr<TIconHandle> platformFactory(std::span<const uint8_t> block, int width, int height) {
  platform::IconRef icon = platform::createIconFromBlock(block, width, height);
  auto portable = CreatePortableIconHandle(block, width, height);
  if (!icon && !portable) return nullptr;
  return std::make_unique<PlatformIconHandle>(std::move(portable), icon);
}

}  // namespace
#endif

void registerPlatformIconHandles() {
#if defined(_WIN32)
  SetIconHandleFactory(platformFactory);
#endif
}

}  // namespace icofmt::host
