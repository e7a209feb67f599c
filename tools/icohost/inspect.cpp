#include "inspect.h"

#include <cstdio>
#include <filesystem>
#include <optional>

#include "base/errors.h"
#include "base/stream.h"
#include "icon/advanced_icon.h"
#include "icon/stored_icon.h"
#include "pixels/png_chunks.h"
#include "pixels/png_image.h"
#include "pixels/png_inflate.h"

namespace icofmt::icohost {

namespace {

// list and extract read the directory and each PNG block's chunks up to its
// image data, and decode only the image they write (TStoredIcon).
void load(TStoredIcon& icon, const std::string& file) {
  if (!icon.LoadFromFile(file)) throw Error(file + " holds no icon image that can be read");
}

void writeImage(const TSubIcon& image, const std::string& output) {
  PngImage png;
  image.SaveToPNG(png);
  // Encoded whole before the file is touched, so a failure leaves no part of it.
  writeFileBytes(output, png.Encode());
}

// A PNG block of 8-bit samples (RGBA, grey with alpha, or RGB without
// tRNS) decodes without loss to exactly the pixels the module hands over
// (unpacked to a 32-bit block of them with their alpha, or a 24-bit one,
// exported as RGBA or RGB) unless the directory makes it a 1-, 4- or 8-bit
// image or its alpha is 0 everywhere (then it shows through its mask). Such
// a block's image data is written as stored, with nothing but its header
// around it (no chunk that would make a viewer show other colours than the
// samples), once it is known to decode as the module decodes it: its chunks
// before the image data were read as LoadFromMemory reads them, and the
// image data inflates whole. Any other image, and one the fast decoder has
// doubts about, is converted and encoded.
void writeStored(const TStoredImage& image, int number, const std::string& file, const std::string& output) {
  try {
    const uint16_t bits = image.Record.BitCount;
    const bool asStored = image.Png && bits != 1 && bits != 4 && bits != 8 &&
                          !(image.Png->colourType == PngColourType::Rgb && image.Png->hasTransparency);
    const StoredLayout layout = asStored ? storedLayout(image.Block) : StoredLayout{};
    if (layout.imageData > 0 &&
        pnginflate::anyAlpha8(image.Block, layout.imageData, static_cast<uint32_t>(image.Png->width),
                              static_cast<uint32_t>(image.Png->height),
                              layout.channels) == std::optional<bool>(true)) {
      TFileStream file(output, TFileStream::Mode::Create);
      for (std::span<const uint8_t> part : imageDataOnly(image.Block, layout)) file.WriteBytes(part);
      return;
    }
    writeImage(*image.Unpack(), output);
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception& e) {
    throw Error("image " + std::to_string(number) + " of " + file + " cannot be read: " + e.what());
  }
}

}  // namespace

void listIcon(const std::string& file) {
  TStoredIcon icon;
  load(icon, file);
  const bool cursor = icon.Type() == IconType::Cursor;
  for (size_t i = 0; i < icon.Images().size(); ++i) {
    const TStoredImage& image = icon.Images()[i];
    std::string line = image.Description();
    if (cursor)
      line += ", hot spot " + std::to_string(image.HotSpot.X) + "," + std::to_string(image.HotSpot.Y);
    std::printf("%zu %s\n", i + 1, line.c_str());
  }
}

void extractIcon(const std::string& file, int number, const std::string& output) {
  TStoredIcon icon;
  load(icon, file);
  const int count = static_cast<int>(icon.Images().size());
  if (number < 1 || number > count)
    throw Error(file + " has " + std::to_string(count) + " image" + (count == 1 ? "" : "s") + ", not " +
                std::to_string(number));
  writeStored(icon.Images()[static_cast<size_t>(number - 1)], number, file, output);
}

void extractAll(const std::string& file, const std::string& folder) {
  TStoredIcon icon;
  load(icon, file);
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (!std::filesystem::is_directory(folder)) throw Error("cannot make the folder " + folder);
  const std::string name = std::filesystem::path(file).stem().string();
  for (size_t i = 0; i < icon.Images().size(); ++i) {
    const TStoredImage& image = icon.Images()[i];
    const std::string out = (std::filesystem::path(folder) /
                             (name + "-" + std::to_string(i + 1) + "-" + std::to_string(image.Width()) + "x" +
                              std::to_string(image.Height()) + ".png"))
                                .string();
    writeStored(image, static_cast<int>(i + 1), file, out);
  }
}

}  // namespace icofmt::icohost
