#pragma once
// The linter's look at the pixels of a bitmap-form block: the transparency
// traps that only the colour bits and the mask show.
#include <cstdint>
#include <span>
#include <vector>

#include "icon/lint.h"

namespace icofmt::lint {

// The block is one the container reader took (its header parses and its
// sides are within the decoding limits). Appends the findings of image
// number `image`; a cursor's masked pixels that are not black are meant
// (they invert the screen) and are not reported.
void checkBitmapBlock(std::span<const uint8_t> block, int image, bool cursor, std::vector<Finding>& out);

}  // namespace icofmt::lint
