#pragma once
// Looking into an icon file directly, without a module: the images it holds
// and any one of them as a PNG.
#include <climits>
#include <string>

namespace icofmt::icohost {

// Prints one line per image: its number from 1, then its description, and
// for a cursor its hot spot. Throws Error when the file cannot be read or
// holds no image.
void listIcon(const std::string& file);
// Writes image number (from 1) as the PNG the module would hand the host.
void extractIcon(const std::string& file, int number, const std::string& output);
// Writes every image as folder/<name>-<n>-<w>x<h>.png, name being the
// file's name without its extension; the folder is made when missing.
void extractAll(const std::string& file, const std::string& folder);

// How many images the module will offer: of a file opened (the strict file
// reader), or of a save's destination (the stream reader). 0 when the file
// is missing or holds none that can be read. Given `enough`, a count of at
// least `enough` may be short of the whole (an opened file's PNG entries are
// decoded only while that is in doubt); a smaller count is exact.
int imagesOffered(const std::string& file, bool asDestination, int enough = INT_MAX);
// The file holds a cursor: its header's type is 2.
bool isCursor(const std::string& file);

}  // namespace icofmt::icohost
