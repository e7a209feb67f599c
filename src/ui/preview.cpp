#include "ui/preview.h"

#include <cstring>

#include "pixels/bitmap.h"
#include "pixels/png_image.h"

namespace icofmt::ui {

platform::Picture blendedPicture(const PngImage& png, Colour background) {
  platform::Picture picture;
  if (png.Width() <= 0 || png.Height() <= 0) return picture;
  TBitmap face;
  SetupFilledBitmap(face, png.Width(), png.Height(), PixelFormat::Bits24, background & 0xFFFFFF);
  png.Draw(face, 0, 0);
  const std::size_t rowLength = static_cast<std::size_t>(face.Width()) * 3;
  picture.bgr.resize(rowLength * static_cast<std::size_t>(face.Height()));
  for (int y = 0; y < face.Height(); ++y)
    std::memcpy(picture.bgr.data() + rowLength * static_cast<std::size_t>(y), face.ScanLine(y), rowLength);
  picture.width = face.Width();
  picture.height = face.Height();
  return picture;
}

}  // namespace icofmt::ui
