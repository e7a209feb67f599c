#include "inspect.h"

#include <cstdio>

#include "base/errors.h"
#include "base/stream.h"
#include "icon/advanced_icon.h"
#include "pixels/png_image.h"

namespace icofmt::icohost {

namespace {

void load(TAdvancedIcon& icon, const std::string& file) {
  if (!icon.LoadFromFile(file)) throw Error(file + " holds no icon image that can be read");
}

}  // namespace

void listIcon(const std::string& file) {
  TAdvancedIcon icon;
  load(icon, file);
  for (uint32_t i = 0; i < icon.Images().Count(); ++i)
    std::printf("%u %s\n", i + 1, icon.Images().Items(i)->Description().c_str());
}

void extractIcon(const std::string& file, int number, const std::string& output) {
  TAdvancedIcon icon;
  load(icon, file);
  const int count = icon.Images().Count();
  if (number < 1 || number > count)
    throw Error(file + " has " + std::to_string(count) + " image" + (count == 1 ? "" : "s") + ", not " +
                std::to_string(number));
  PngImage png;
  icon.Images().Items(static_cast<uint32_t>(number - 1))->SaveToPNG(png);
  // Encoded whole before the file is touched, so a failure leaves no part of it.
  writeFileBytes(output, png.Encode());
}

}  // namespace icofmt::icohost
