#pragma once
// Icons for display: a handle made from an image block that draws itself,
// and the graphic that holds one. The portable handle draws into bitmaps
// with our own pixel code; a platform may register its own (real icon
// handles drawn on a device context on Windows).
#include <cstdint>
#include <memory>
#include <span>

#include "icon/numbers_rects_paths.h"

namespace icofmt {

class TBitmap;

// A surface to draw on. The portable handle draws on TBitmapCanvas; a
// platform's handle may know canvases of its own.
class TCanvas {
 public:
  virtual ~TCanvas() = default;
};

class TBitmapCanvas : public TCanvas {
 public:
  explicit TBitmapCanvas(TBitmap& bitmap) : Bitmap(bitmap) {}
  TBitmap& Bitmap;
};

class TIconHandle {
 public:
  virtual ~TIconHandle() = default;
  virtual std::unique_ptr<TIconHandle> Copy() const = 0;
  // Draws at its own size with its top-left at (x, y), mask then image: a
  // pixel under a set mask bit is the canvas XOR the colour, any other the
  // colour; 32-bit images blend by their alpha instead.
  virtual void Draw(TCanvas& canvas, int x, int y) const = 0;
  // Width of the colour bitmap (of the mask when there is none).
  virtual int Width() const = 0;
};

// Makes a handle from a bitmap-form block at the desired size; null when
// the block cannot be made into an icon.
using IconHandleFactory = std::unique_ptr<TIconHandle> (*)(std::span<const uint8_t> block, int width,
                                                           int height);
// The portable handle: our own drawing on bitmap canvases.
std::unique_ptr<TIconHandle> CreatePortableIconHandle(std::span<const uint8_t> block, int width, int height);
// Null restores the portable factory.
void SetIconHandleFactory(IconHandleFactory factory);
std::unique_ptr<TIconHandle> CreateIconHandle(std::span<const uint8_t> block, int width, int height);

// The icon graphic of an image: its size starts as the system's standard
// icon size and follows the handle's width after every change of handle.
class THiResIcon {
 public:
  static constexpr int kStandardIconSize = 32;

  void SetHandle(std::unique_ptr<TIconHandle> handle);
  const TIconHandle* Handle() const { return handle_.get(); }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // Draws the icon at its own size at the rectangle's top-left corner.
  void Draw(TCanvas& canvas, const TRect& rect) const;

 private:
  std::unique_ptr<TIconHandle> handle_;
  int width_ = kStandardIconSize;
  int height_ = kStandardIconSize;
};

}  // namespace icofmt
