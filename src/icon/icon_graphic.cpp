#include "icon/icon_graphic.h"

#include <vector>

#include "base/errors.h"
#include "base/stream.h"
#include "icon/sub_icon.h"
#include "pixels/bitmap.h"
#include "pixels/reduce.h"

namespace icofmt {

namespace {

// Draws the image's own bitmaps, as the system draws an icon.
class PortableIconHandle : public TIconHandle {
 public:
  explicit PortableIconHandle(std::vector<uint8_t> block) : block_(std::move(block)) {
    TFileIconImage image;
    TMemoryStream stream(block_);
    image.CreateFromBlock(stream, {.Size = static_cast<uint32_t>(block_.size())});
    image.ExtractBitmaps(nullptr, &colour_, kBlack, &mask_);
  }

  std::unique_ptr<TIconHandle> Copy() const override { return std::make_unique<PortableIconHandle>(*this); }
  int Width() const override { return colour_.Width() > 0 ? colour_.Width() : mask_.Width(); }

  void Draw(TCanvas& canvas, int x0, int y0) const override {
    auto* target = dynamic_cast<TBitmapCanvas*>(&canvas);
    if (!target) return;
    TBitmap& dst = target->Bitmap;
    const bool alpha = colour_.Format() == PixelFormat::Bits32;
    for (int y = 0; y < colour_.Height(); ++y) {
      const int dy = y0 + y;
      if (dy < 0 || dy >= dst.Height()) continue;
      for (int x = 0; x < colour_.Width(); ++x) {
        const int dx = x0 + x;
        if (dx < 0 || dx >= dst.Width()) continue;
        const Colour src = colour_.GetPixel(x, y), under = dst.GetPixel(dx, dy);
        Colour out;
        if (alpha) {
          const uint32_t a = colour_.ScanLine(y)[4 * x + 3];
          auto mix = [&](uint32_t s, uint32_t d) { return (s * a + d * (255 - a) + 127) / 255; };
          out = makeColour(mix(redOf(src), redOf(under)), mix(greenOf(src), greenOf(under)),
                           mix(blueOf(src), blueOf(under)));
        } else {
          out = MaskIsWhite(mask_, x, y) ? (under ^ src) & 0xFFFFFF : src;
        }
        dst.SetPixel(dx, dy, out);
      }
    }
  }

 private:
  std::vector<uint8_t> block_;
  TBitmap colour_, mask_;
};

IconHandleFactory currentFactory = CreatePortableIconHandle;

}  // namespace

std::unique_ptr<TIconHandle> CreatePortableIconHandle(std::span<const uint8_t> block, int, int) {
  try {
    return std::make_unique<PortableIconHandle>(std::vector<uint8_t>(block.begin(), block.end()));
  } catch (const Error&) {
    return nullptr;
  }
}

void SetIconHandleFactory(IconHandleFactory factory) {
  currentFactory = factory ? factory : CreatePortableIconHandle;
}

std::unique_ptr<TIconHandle> CreateIconHandle(std::span<const uint8_t> block, int width, int height) {
  return currentFactory(block, width, height);
}

void THiResIcon::SetHandle(std::unique_ptr<TIconHandle> handle) {
  handle_ = std::move(handle);
  if (handle_) width_ = height_ = handle_->Width();
}

void THiResIcon::Draw(TCanvas& canvas, const TRect& rect) const {
  if (handle_) handle_->Draw(canvas, rect.Left, rect.Top);
}

}  // namespace icofmt
