#pragma once
// Looking into an icon file directly, without a module: the images it holds
// and any one of them as a PNG.
#include <string>

namespace icofmt::icohost {

// Prints one line per image: its number from 1, then its description.
// Throws Error when the file cannot be read or holds no image.
void listIcon(const std::string& file);
// Writes image number (from 1) as the PNG the module would hand the host.
void extractIcon(const std::string& file, int number, const std::string& output);

}  // namespace icofmt::icohost
