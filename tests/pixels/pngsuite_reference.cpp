#include "pngsuite_reference.h"

#include <png.h>
#include <zlib.h>

#include <cstring>

namespace icofmt::pngsuite {

bool decodeRgba(const std::vector<uint8_t>& file, std::vector<uint8_t>& rgba) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) return false;
  image.format = PNG_FORMAT_RGBA;
  rgba.assign(PNG_IMAGE_SIZE(image), 0);
  bool ok = png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr) != 0;
  png_image_free(&image);
  return ok;
}

uint32_t crc32(const uint8_t* data, size_t size) {
  return static_cast<uint32_t>(::crc32(0, data, static_cast<uInt>(size)));
}

}  // namespace icofmt::pngsuite
