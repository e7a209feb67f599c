#include "open/sub_image_export.h"

#include <exception>
#include <memory>
#include <new>
#include <utility>

#include "icon/advanced_icon.h"
#include "icon/stored_icon.h"
#include "pixels/png_image.h"
#include "platform/files.h"
#include "ui/preview.h"

namespace icofmt::open {

bool loadIcon(const std::string& path, TAdvancedIcon& icon) {
  if (!platform::fileExists(path)) return false;
  try {
    icon.LoadFromFile(path);
    return true;
  } catch (const std::exception&) {
    // A file that cannot be read offers nothing to open.
    icon.Images().Clear();
    return false;
  }
}

std::vector<std::string> listSubImages(const TAdvancedIcon& icon) {
  std::vector<std::string> descriptions;
  try {
    const TSubIconList& images = icon.Images();
    for (std::uint32_t i = 0; i < images.Count(); ++i) descriptions.push_back(images.Items(i)->Description());
  } catch (const std::exception&) {
    descriptions.clear();
  }
  return descriptions;
}

std::vector<std::string> listSubImages(const std::string& path) {
  TAdvancedIcon icon;
  return loadIcon(path, icon) ? listSubImages(icon) : std::vector<std::string>();
}

bool subImageToPng(const TAdvancedIcon& icon, std::int32_t index, PngImage& png) {
  try {
    if (index < 0 || index >= icon.Images().Count()) return false;
    // Converted aside, so that a failure halfway leaves the caller's image as it was.
    PngImage converted;
    icon.Images().Items(static_cast<std::uint32_t>(index))->SaveToPNG(converted);
    png = std::move(converted);
    return true;
  } catch (const std::exception&) {
    // An unreadable image is a failed conversion, never an error that
    // reaches the host.
    return false;
  }
}

namespace {

// An 8-bit RGBA, non-interlaced PNG entry that the directory does not make
// a 1-, 4- or 8-bit image is unpacked to a 32-bit block of its samples and
// exported as those samples, as long as some alpha is not 0.
bool samplesAreExport(const TStoredImage& image) {
  const uint16_t bits = image.Record.BitCount;
  return image.Png->colourType == PngColourType::Rgba && image.Png->bitDepth == 8 && !image.Png->interlaced &&
         bits != 1 && bits != 4 && bits != 8;
}

}  // namespace

// The image the decoding reader numbers `index`, found without decoding
// the images after it, nor those before it that are no PNG: a PNG entry
// before it counts only when it decodes, as it does for that reader
// (TStoredIcon keeps the reader's entries and budget).
bool subImageToPng(const std::string& iconPath, std::int32_t index, PngImage& png) {
  if (index < 0 || !platform::fileExists(iconPath)) return false;
  try {
    TStoredIcon icon;
    icon.LoadFromFile(iconPath);
    std::int32_t number = -1;
    for (const TStoredImage& stored : icon.Images()) {
      std::unique_ptr<TSubIcon> unpacked;
      if (stored.Png && samplesAreExport(stored)) {
        // Decoding decides whether the reader counts it, as below; the
        // samples are then the export itself, unless the alpha is 0
        // everywhere (the image shows through its mask).
        PngImage decoded;
        try {
          decoded.LoadFromMemory(stored.Block);
        } catch (const std::bad_alloc&) {
          throw;
        } catch (const std::exception&) {
          continue;
        }
        if (++number < index) continue;
        if (decoded.AnyAlpha()) {
          png = std::move(decoded);
          return true;
        }
        PngImage converted;
        stored.Unpack()->SaveToPNG(converted);
        png = std::move(converted);
        return true;
      }
      if (stored.Png) {
        try {
          unpacked = stored.Unpack();
        } catch (const std::bad_alloc&) {
          throw;
        } catch (const std::exception&) {
          continue;  // the decoding reader skips it
        }
      }
      if (++number < index) continue;
      PngImage converted;
      (unpacked ? *unpacked : *stored.Bitmap).SaveToPNG(converted);
      png = std::move(converted);
      return true;
    }
    return false;
  } catch (const std::exception&) {
    return false;
  }
}

bool exportSubImage(const std::string& iconPath, std::int32_t index, const std::string& target) {
  TAdvancedIcon icon;
  return loadIcon(iconPath, icon) && exportSubImage(icon, index, target);
}

bool exportSubImage(const TAdvancedIcon& icon, std::int32_t index, const std::string& target) {
  PngImage png;
  if (!subImageToPng(icon, index, png)) return false;
  std::vector<std::uint8_t> bytes;
  try {
    // Encoded whole before the target is touched. The carried module reads
    // it back at once and it is deleted then: speed counts, not size.
    bytes = png.EncodeTemporary();
  } catch (const std::exception&) {
    return false;
  }
  return platform::writePrivateFile(target, bytes);
}

void renderPreview(const std::string& iconPath, std::int32_t index, platform::Picture& picture,
                   Colour background) {
  picture = {};
  try {
    // A failed conversion leaves the PNG empty, and so the picture.
    PngImage png;
    subImageToPng(iconPath, index, png);
    picture = ui::blendedPicture(png, background);
  } catch (const std::exception&) {
    picture = {};
  }
}

}  // namespace icofmt::open
