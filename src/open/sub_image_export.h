#pragma once
// One image of an icon file as PNG: for the file the carried module reads and
// for the selection form's preview. Nothing is cached: every call given a path
// reads and parses the icon file again, so a preview always shows the file as
// it is.
#include <cstdint>
#include <string>
#include <vector>

#include "pixels/colour.h"
#include "platform/forms.h"

namespace icofmt {
class PngImage;
class TAdvancedIcon;
}  // namespace icofmt

namespace icofmt::open {

// The description of each image of the icon file, in the file's order; empty
// when the file is missing, is no icon file or holds no readable image.
std::vector<std::string> listSubImages(const std::string& path);

// Fills png from image `index` of the icon file. False, with png unchanged,
// when the file is missing, the index is out of range, or reading or
// converting the image fails in any way.
bool subImageToPng(const std::string& iconPath, std::int32_t index, PngImage& png);

// Writes image `index` of the icon file as a PNG file at target (created anew
// or overwritten). True only when the whole file was written; on false no
// file of ours is left at target.
bool exportSubImage(const std::string& iconPath, std::int32_t index, const std::string& target);

// The same from an icon already loaded, so that one read of the file serves
// both the list the user chooses from and the export of the chosen image.
// loadIcon is false, with no image in icon, when the file is missing or
// cannot be read.
bool loadIcon(const std::string& path, TAdvancedIcon& icon);
std::vector<std::string> listSubImages(const TAdvancedIcon& icon);
bool subImageToPng(const TAdvancedIcon& icon, std::int32_t index, PngImage& png);
bool exportSubImage(const TAdvancedIcon& icon, std::int32_t index, const std::string& target);

// Image `index` drawn over the background (0x00BBGGRR), blended by its alpha,
// as the picture a form shows; an empty picture when it cannot be made.
void renderPreview(const std::string& iconPath, std::int32_t index, platform::Picture& picture,
                   Colour background);

}  // namespace icofmt::open
