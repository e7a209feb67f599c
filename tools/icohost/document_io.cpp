#include "document_io.h"

#include <algorithm>
#include <filesystem>
#include <map>

#include "module_host.h"
#include "pixels/resample.h"
#include "platform/files.h"

namespace icofmt::icohost {

namespace {

using carried::Document;

void rgbaAt(const Document& doc, int x, int y, std::uint8_t rgba[4]) {
  const std::uint8_t* row = doc.pixels.data() + doc.rowBytes() * static_cast<std::size_t>(y);
  if (doc.mode == carried::kModeBitmap) {
    std::uint8_t v = (row[x >> 3] & (0x80 >> (x & 7))) ? 0 : 255;
    rgba[0] = rgba[1] = rgba[2] = v;
    rgba[3] = 255;
    return;
  }
  const std::uint8_t* s = row + static_cast<std::size_t>(x) * static_cast<std::size_t>(doc.planes);
  const int alpha = doc.effectiveAlphaPlane();
  rgba[3] = alpha >= 0 ? s[alpha] : 255;
  if (doc.mode == carried::kModeIndexed) {
    rgba[0] = doc.red[s[0]];
    rgba[1] = doc.green[s[0]];
    rgba[2] = doc.blue[s[0]];
    if (s[0] == doc.transparentIndex) rgba[3] = 0;
  } else if (doc.mode == carried::kModeGray) {
    rgba[0] = rgba[1] = rgba[2] = s[0];
  } else {
    rgba[0] = s[0];
    rgba[1] = s[1];
    rgba[2] = s[2];
  }
}

bool hasTransparency(const Document& doc) {
  return doc.effectiveAlphaPlane() >= 0 || (doc.mode == carried::kModeIndexed && doc.transparentIndex >= 0);
}

std::uint8_t luminance(const std::uint8_t rgba[4]) {
  return static_cast<std::uint8_t>((rgba[0] * 299 + rgba[1] * 587 + rgba[2] * 114 + 500) / 1000);
}

// A Bitmap document has no transparency, and what lies under transparent
// pixels is hidden colour: the picture is seen over white, as editors convert
// to Bitmap mode, and its greys are diffused into black and white (error
// diffusion, as their default), so that light parts of a picture stay visible.
Document toBitmap(const Document& src) {
  Document doc;
  doc.mode = carried::kModeBitmap;
  doc.width = src.width;
  doc.height = src.height;
  doc.planes = 1;
  doc.pixels.assign(doc.rowBytes() * static_cast<std::size_t>(doc.height), 0);
  const std::size_t w = static_cast<std::size_t>(doc.width);
  // Errors in sixteenths, for this row and the next, one pixel of margin each side.
  std::vector<int> here(w + 2, 0), next(w + 2, 0);
  std::uint8_t rgba[4];
  for (int y = 0; y < doc.height; ++y) {
    std::uint8_t* row = doc.pixels.data() + doc.rowBytes() * static_cast<std::size_t>(y);
    for (std::size_t x = 0; x < w; ++x) {
      rgbaAt(src, static_cast<int>(x), y, rgba);
      for (int k = 0; k < 3; ++k)
        rgba[k] = static_cast<std::uint8_t>((rgba[k] * rgba[3] + 255 * (255 - rgba[3]) + 127) / 255);
      const int level = luminance(rgba) + here[x + 1] / 16;
      const int shown = level < 128 ? 0 : 255;
      if (shown == 0) row[x >> 3] = static_cast<std::uint8_t>(row[x >> 3] | (0x80 >> (x & 7)));
      const int error = level - shown;
      here[x + 2] += error * 7;
      next[x] += error * 3;
      next[x + 1] += error * 5;
      next[x + 2] += error;
    }
    here.swap(next);
    std::fill(next.begin(), next.end(), 0);
  }
  return doc;
}

Document convert(const Document& src, int mode) {
  if (src.mode == mode) return src;
  if (mode == carried::kModeBitmap) return toBitmap(src);
  Document doc;
  doc.mode = mode;
  doc.width = src.width;
  doc.height = src.height;
  const bool alpha = hasTransparency(src) && mode != carried::kModeBitmap && mode != carried::kModeIndexed;
  doc.planes = mode == carried::kModeBitmap || mode == carried::kModeIndexed
                   ? 1
                   : doc.colourPlanes() + (alpha ? 1 : 0);
  doc.alphaPlane = alpha ? doc.colourPlanes() : -1;
  doc.pixels.assign(doc.rowBytes() * static_cast<std::size_t>(doc.height), 0);
  std::map<std::uint32_t, int> palette;
  std::uint8_t rgba[4];
  for (int y = 0; y < doc.height; ++y) {
    std::uint8_t* row = doc.pixels.data() + doc.rowBytes() * static_cast<std::size_t>(y);
    for (int x = 0; x < doc.width; ++x) {
      rgbaAt(src, x, y, rgba);
      std::uint8_t* d = row + static_cast<std::size_t>(x) * static_cast<std::size_t>(doc.planes);
      switch (mode) {
        case carried::kModeGray:
          d[0] = luminance(rgba);
          if (alpha) d[1] = rgba[3];
          break;
        case carried::kModeRgb:
          std::copy(rgba, rgba + (alpha ? 4 : 3), d);
          break;
        default: {
          // Exact colours only; alpha below 128 is the transparent entry.
          std::uint32_t key = rgba[3] < 128 ? 0xFF000000u : (rgba[0] | (rgba[1] << 8) | (rgba[2] << 16));
          auto [it, added] = palette.emplace(key, static_cast<int>(palette.size()));
          if (added && palette.size() > 256)
            throw HostError("the image has more than 256 colours for indexed mode");
          d[0] = static_cast<std::uint8_t>(it->second);
          break;
        }
      }
    }
  }
  if (mode == carried::kModeIndexed) {
    for (const auto& [key, index] : palette) {
      if (key == 0xFF000000u) {
        doc.transparentIndex = index;
        continue;
      }
      doc.red[index] = static_cast<std::uint8_t>(key);
      doc.green[index] = static_cast<std::uint8_t>(key >> 8);
      doc.blue[index] = static_cast<std::uint8_t>(key >> 16);
    }
    doc.lutCount = static_cast<int>(palette.size());
  }
  return doc;
}

}  // namespace

Document readPngDocument(const std::string& path, std::optional<int> forcedMode) {
  auto bytes = platform::readWholeFile(path);
  if (!bytes) throw HostError("cannot read " + path);
  PngImage png;
  png.LoadFromMemory(*bytes);
  Document doc = carried::documentFromPng(png, carried::kAllModes, true);
  return forcedMode ? convert(doc, *forcedMode) : doc;
}

Document fitDocument(const Document& doc, int maxWidth, int maxHeight, std::optional<int> forcedMode) {
  if (doc.width <= maxWidth && doc.height <= maxHeight) return forcedMode ? convert(doc, *forcedMode) : doc;
  RgbaPicture picture;
  picture.width = doc.width;
  picture.height = doc.height;
  picture.pixels.resize(static_cast<std::size_t>(doc.width) * static_cast<std::size_t>(doc.height) * 4);
  std::uint8_t* at = picture.pixels.data();
  for (int y = 0; y < doc.height; ++y)
    for (int x = 0; x < doc.width; ++x, at += 4) rgbaAt(doc, x, y, at);
  int width = 0;
  int height = 0;
  FitWithin(doc.width, doc.height, maxWidth, maxHeight, width, height);
  const RgbaPicture scaled = ResampleRgba(picture, width, height);

  Document out;
  out.mode = carried::kModeRgb;
  out.width = width;
  out.height = height;
  const bool alpha = hasTransparency(doc);
  out.planes = alpha ? 4 : 3;
  out.alphaPlane = alpha ? 3 : -1;
  out.pixels.resize(out.rowBytes() * static_cast<std::size_t>(height));
  const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  for (std::size_t i = 0; i < pixels; ++i)
    std::copy_n(scaled.pixels.data() + 4 * i, out.planes,
                out.pixels.data() + static_cast<std::size_t>(out.planes) * i);
  return forcedMode ? convert(out, *forcedMode) : out;
}

void writePngDocument(const Document& doc, const std::string& path) {
  std::vector<std::uint8_t> bytes = carried::pngFromDocument(doc).Encode();
  const std::string temporary = path + ".icohost-tmp";
  if (!platform::writeWholeFile(temporary, bytes)) {
    platform::deleteFile(temporary);
    throw HostError("cannot write " + path);
  }
  std::error_code error;
  std::filesystem::rename(temporary, path, error);
  if (error) {
    platform::deleteFile(temporary);
    throw HostError("cannot write " + path + ": " + error.message());
  }
}

}  // namespace icofmt::icohost
