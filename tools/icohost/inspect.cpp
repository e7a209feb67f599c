#include "inspect.h"

#include <cstdio>
#include <filesystem>

#include "base/errors.h"
#include "base/stream.h"
#include "icon/advanced_icon.h"
#include "pixels/png_image.h"
#include "platform/files.h"

namespace icofmt::icohost {

namespace {

void load(TAdvancedIcon& icon, const std::string& file) {
  if (!icon.LoadFromFile(file)) throw Error(file + " holds no icon image that can be read");
}

void writeImage(const TSubIcon& image, const std::string& output) {
  PngImage png;
  image.SaveToPNG(png);
  // Encoded whole before the file is touched, so a failure leaves no part of it.
  writeFileBytes(output, png.Encode());
}

}  // namespace

void listIcon(const std::string& file) {
  TAdvancedIcon icon;
  load(icon, file);
  const bool cursor = icon.Type() == IconType::Cursor;
  for (uint32_t i = 0; i < icon.Images().Count(); ++i) {
    const TSubIcon* image = icon.Images().Items(i);
    std::string line = image->Description();
    if (cursor)
      line += ", hot spot " + std::to_string(image->HotSpot().X) + "," + std::to_string(image->HotSpot().Y);
    std::printf("%u %s\n", i + 1, line.c_str());
  }
}

void extractIcon(const std::string& file, int number, const std::string& output) {
  TAdvancedIcon icon;
  load(icon, file);
  const int count = icon.Images().Count();
  if (number < 1 || number > count)
    throw Error(file + " has " + std::to_string(count) + " image" + (count == 1 ? "" : "s") + ", not " +
                std::to_string(number));
  writeImage(*icon.Images().Items(static_cast<uint32_t>(number - 1)), output);
}

void extractAll(const std::string& file, const std::string& folder) {
  TAdvancedIcon icon;
  load(icon, file);
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (!std::filesystem::is_directory(folder)) throw Error("cannot make the folder " + folder);
  const std::string name = std::filesystem::path(file).stem().string();
  for (uint32_t i = 0; i < icon.Images().Count(); ++i) {
    const TSubIcon* image = icon.Images().Items(i);
    const std::string out = (std::filesystem::path(folder) /
                             (name + "-" + std::to_string(i + 1) + "-" + std::to_string(image->Width()) +
                              "x" + std::to_string(image->Height()) + ".png"))
                                .string();
    writeImage(*image, out);
  }
}

int imagesOffered(const std::string& file, bool asDestination) {
  if (!platform::fileExists(file)) return 0;
  TAdvancedIcon icon;
  try {
    if (asDestination) {
      TFileStream stream(file, TFileStream::Mode::OpenRead);
      icon.LoadFromStream(stream);
    } else {
      icon.LoadFromFile(file);
    }
  } catch (const std::exception&) {
    return 0;
  }
  return icon.Images().Count();
}

bool isCursor(const std::string& file) {
  if (!platform::fileExists(file)) return false;
  try {
    TFileStream stream(file, TFileStream::Mode::OpenRead);
    uint8_t header[4] = {};
    return stream.Read(header, 4) == 4 && header[0] == 0 && header[1] == 0 && header[2] == 2 &&
           header[3] == 0;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace icofmt::icohost
