#pragma once
// The previews both forms show: an image blended by its alpha over a
// background colour, as the 24-bit picture an Image control holds.
#include "pixels/colour.h"
#include "platform/forms.h"

namespace icofmt {
class PngImage;
}

namespace icofmt::ui {

// Throws what the pixel code throws (memory); an empty PNG gives an empty picture.
platform::Picture blendedPicture(const PngImage& png, Colour background);

}  // namespace icofmt::ui
