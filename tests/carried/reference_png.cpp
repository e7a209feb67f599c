#include "reference_png.h"

#include <png.h>

#include <cstring>

namespace icofmt::test {

namespace {

struct Reader {
  const std::vector<std::uint8_t>* file;
  std::size_t at;
};

void readFn(png_structp png, png_bytep out, size_t n) {
  auto* r = static_cast<Reader*>(png_get_io_ptr(png));
  if (n > r->file->size() - r->at) png_error(png, "short");
  std::memcpy(out, r->file->data() + r->at, n);
  r->at += n;
}

void writeFn(png_structp png, png_bytep data, size_t n) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + n);
}
void flushFn(png_structp) {}
void quiet(png_structp, png_const_charp) {}

bool readInfo(png_structp png, png_infop info, png_uint_32* w, png_uint_32* h) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_info(png, info);
  png_set_strip_16(png);
  png_set_expand(png);  // palette to RGB, grey to 8 bits, tRNS to alpha
  png_set_gray_to_rgb(png);
  png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  *w = png_get_image_width(png, info);
  *h = png_get_image_height(png, info);
  return *w <= 8192 && *h <= 8192;
}

bool readRows(png_structp png, png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_image(png, rows);
  png_read_end(png, nullptr);
  return true;
}

bool writeAll(png_structp png, png_infop info, const RawPng* raw, png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_IHDR(png, info, raw->width, raw->height, raw->bitDepth, raw->colourType,
               raw->interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!raw->palette.empty())
    png_set_PLTE(png, info, reinterpret_cast<png_const_colorp>(raw->palette.data()),
                 static_cast<int>(raw->palette.size() / 3));
  png_color_16 key{};
  key.gray = key.red = raw->key[0];
  key.green = raw->key[1];
  key.blue = raw->key[2];
  if (!raw->trns.empty())
    png_set_tRNS(png, info, const_cast<png_bytep>(raw->trns.data()), static_cast<int>(raw->trns.size()),
                 nullptr);
  else if (raw->keyColour)
    png_set_tRNS(png, info, nullptr, 0, &key);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, info);
  return true;
}

int channelsOf(int colourType) {
  switch (colourType) {
    case PNG_COLOR_TYPE_RGB:
      return 3;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      return 2;
    case PNG_COLOR_TYPE_RGBA:
      return 4;
    default:
      return 1;
  }
}

}  // namespace

bool decodeRgba(const std::vector<std::uint8_t>& file, int& width, int& height,
                std::vector<std::uint8_t>& rgba) {
  Reader reader{&file, 0};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, quiet);
  png_infop info = png_create_info_struct(png);
  png_set_read_fn(png, &reader, readFn);
  png_uint_32 w = 0, h = 0;
  bool ok = readInfo(png, info, &w, &h);
  if (ok) {
    rgba.assign(static_cast<std::size_t>(w) * h * 4, 0);
    std::vector<png_bytep> rows(h);
    for (png_uint_32 y = 0; y < h; ++y) rows[y] = rgba.data() + static_cast<std::size_t>(y) * w * 4;
    ok = readRows(png, rows.data());
  }
  png_destroy_read_struct(&png, &info, nullptr);
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  return ok;
}

std::vector<std::uint8_t> encodeRaw(const RawPng& raw) {
  // Packed rows at the file's depth, as libpng writes them without transforms.
  const int channels = channelsOf(raw.colourType);
  const std::size_t rowBytes = (static_cast<std::size_t>(raw.width) * channels * raw.bitDepth + 7) / 8;
  std::vector<std::uint8_t> packed(rowBytes * raw.height, 0);
  for (int y = 0; y < raw.height; ++y)
    for (int i = 0; i < raw.width * channels; ++i) {
      std::uint16_t v = raw.samples[static_cast<std::size_t>(y) * raw.width * channels + i];
      std::uint8_t* row = packed.data() + rowBytes * y;
      if (raw.bitDepth == 16) {
        row[2 * i] = static_cast<std::uint8_t>(v >> 8);
        row[2 * i + 1] = static_cast<std::uint8_t>(v);
      } else if (raw.bitDepth == 8) {
        row[i] = static_cast<std::uint8_t>(v);
      } else {
        int bit = i * raw.bitDepth;
        row[bit / 8] = static_cast<std::uint8_t>(row[bit / 8] | (v << (8 - raw.bitDepth - bit % 8)));
      }
    }
  std::vector<png_bytep> rows(raw.height);
  for (int y = 0; y < raw.height; ++y) rows[y] = packed.data() + rowBytes * y;
  std::vector<std::uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, quiet);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, writeFn, flushFn);
  bool ok = writeAll(png, info, &raw, rows.data());
  png_destroy_write_struct(&png, &info);
  if (!ok) out.clear();
  return out;
}

}  // namespace icofmt::test
