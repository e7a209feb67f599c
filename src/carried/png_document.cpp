#include "carried/png_document.h"

#include <algorithm>
#include <cstring>

#include "base/errors.h"
#include "base/limits.h"

namespace icofmt::carried {

namespace {

bool allows(unsigned hostModes, int mode) { return ((hostModes >> mode) & 1u) != 0; }

// A palette the host can hold as Indexed: every entry opaque except at most
// one fully transparent entry, which becomes the transparent index.
bool indexedFits(const PngImage& png, int* transparentIndex) {
  *transparentIndex = -1;
  if (!png.HasTransparency()) return true;
  const auto& alpha = png.Transparency();
  for (std::size_t i = 0; i < alpha.size() && i < png.Palette().size(); ++i) {
    if (alpha[i] == 255) continue;
    if (alpha[i] != 0 || *transparentIndex >= 0) return false;
    *transparentIndex = static_cast<int>(i);
  }
  return true;
}

void fromBitmapPng(const PngImage& png, Document& doc) {
  doc.mode = kModeBitmap;
  doc.planes = 1;
  doc.pixels.assign(doc.rowBytes() * static_cast<std::size_t>(doc.height), 0);
  for (int y = 0; y < doc.height; ++y) {
    const std::uint8_t* s = png.Row(y);
    std::uint8_t* d = doc.pixels.data() + doc.rowBytes() * static_cast<std::size_t>(y);
    for (int x = 0; x < doc.width; ++x)
      if (s[x] < 128) d[x >> 3] = static_cast<std::uint8_t>(d[x >> 3] | (0x80 >> (x & 7)));
  }
}

void fromIndexedPng(const PngImage& png, Document& doc, int transparentIndex) {
  doc.mode = kModeIndexed;
  doc.planes = 1;
  const ColourList& palette = png.Palette();
  for (std::size_t i = 0; i < palette.size() && i < 256; ++i) {
    doc.red[i] = static_cast<std::uint8_t>(redOf(palette[i]));
    doc.green[i] = static_cast<std::uint8_t>(greenOf(palette[i]));
    doc.blue[i] = static_cast<std::uint8_t>(blueOf(palette[i]));
  }
  doc.lutCount = static_cast<int>(std::min<std::size_t>(palette.size(), 256));
  doc.transparentIndex = transparentIndex;
  doc.pixels.resize(doc.rowBytes() * static_cast<std::size_t>(doc.height));
  for (int y = 0; y < doc.height; ++y)
    std::memcpy(doc.pixels.data() + doc.rowBytes() * static_cast<std::size_t>(y), png.Row(y),
                png.RowLength());
}

void fromRgbPng(const PngImage& png, Document& doc, bool alpha, bool transparency) {
  doc.mode = kModeRgb;
  doc.planes = alpha ? 4 : 3;
  doc.alphaPlane = alpha && transparency ? 3 : -1;
  doc.pixels.resize(doc.rowBytes() * static_cast<std::size_t>(doc.height));
  std::uint8_t rgba[4];
  for (int y = 0; y < doc.height; ++y) {
    std::uint8_t* d = doc.pixels.data() + doc.rowBytes() * static_cast<std::size_t>(y);
    for (int x = 0; x < doc.width; ++x, d += doc.planes) {
      png.PixelRgba(x, y, rgba);
      std::memcpy(d, rgba, static_cast<std::size_t>(doc.planes));
    }
  }
}

// The smallest palette depth that holds count entries and every index used.
int paletteDepth(int count, int maxIndex) {
  int need = std::max(count, maxIndex + 1);
  for (int depth : {1, 2, 4})
    if (need <= (1 << depth)) return depth;
  return 8;
}

}  // namespace

std::size_t Document::rowBytes() const {
  if (mode == kModeBitmap) return (static_cast<std::size_t>(width) + 7) / 8;
  return static_cast<std::size_t>(width) * static_cast<std::size_t>(planes);
}

int Document::effectiveAlphaPlane() const {
  if (mode == kModeBitmap) return -1;
  if (alphaPlane >= colourPlanes() && alphaPlane < planes) return alphaPlane;
  return planes > colourPlanes() ? colourPlanes() : -1;
}

void validateDocument(const Document& doc) {
  if (doc.mode < kModeBitmap || doc.mode > kModeRgb) throw InvalidImage("Unsupported image mode");
  if (doc.width < 1 || doc.height < 1 || static_cast<unsigned>(doc.width) > limits::kPngSideMax ||
      static_cast<unsigned>(doc.height) > limits::kPngSideMax)
    throw InvalidImage();
  if (doc.planes < doc.colourPlanes() || doc.planes > 16 || (doc.mode == kModeBitmap && doc.planes != 1))
    throw InvalidImage("Unsupported plane count");
  if (doc.alphaPlane < -1 || doc.alphaPlane >= doc.planes) throw InvalidImage("Invalid transparency plane");
  if (doc.pixels.size() != doc.rowBytes() * static_cast<std::size_t>(doc.height)) throw InvalidImage();
}

Document documentFromPng(const PngImage& png, unsigned hostModes, bool transparency) {
  if (hostModes == 0) hostModes = kAllModes;
  Document doc;
  doc.width = png.Width();
  doc.height = png.Height();
  if (doc.width < 1 || doc.height < 1 || doc.width > 32767 || doc.height > 32767) throw InvalidImage();
  const bool palette = png.ColourType() == PngColourType::Palette;
  const int channels = png.Channels();
  int transparentIndex = -1;
  if (!palette && channels == 1 && png.BitDepth() == 1 && allows(hostModes, kModeBitmap)) {
    fromBitmapPng(png, doc);
  } else if (palette && allows(hostModes, kModeIndexed) && indexedFits(png, &transparentIndex)) {
    fromIndexedPng(png, doc, transparentIndex);
  } else if (!palette && channels <= 2 && allows(hostModes, kModeGray)) {
    doc.mode = kModeGray;
    doc.planes = channels;
    doc.alphaPlane = channels == 2 && transparency ? 1 : -1;
    doc.pixels.resize(doc.rowBytes() * static_cast<std::size_t>(doc.height));
    for (int y = 0; y < doc.height; ++y)
      std::memcpy(doc.pixels.data() + doc.rowBytes() * static_cast<std::size_t>(y), png.Row(y),
                  png.RowLength());
  } else {
    bool alpha = channels == 2 || channels == 4 || (palette && png.HasTransparency());
    fromRgbPng(png, doc, alpha, transparency);
  }
  return doc;
}

PngImage pngFromDocument(const Document& doc) {
  validateDocument(doc);
  PngImage png;
  const std::size_t stride = doc.rowBytes();
  auto row = [&](int y) { return doc.pixels.data() + stride * static_cast<std::size_t>(y); };
  if (doc.mode == kModeBitmap) {
    png.Create(doc.width, doc.height, PngColourType::Grey, 1);
    for (int y = 0; y < doc.height; ++y)
      for (int x = 0; x < doc.width; ++x) png.Row(y)[x] = (row(y)[x >> 3] & (0x80 >> (x & 7))) ? 0 : 255;
    return png;
  }
  if (doc.mode == kModeIndexed) {
    int maxIndex = 0;
    for (int y = 0; y < doc.height; ++y)
      for (int x = 0; x < doc.width; ++x) maxIndex = std::max<int>(maxIndex, row(y)[x * doc.planes]);
    int count = doc.lutCount >= 1 && doc.lutCount <= 256 ? doc.lutCount : 256;
    // An index past lutCount still has a colour in the tables; keep it.
    count = std::max(count, maxIndex + 1);
    png.Create(doc.width, doc.height, PngColourType::Palette, paletteDepth(count, maxIndex));
    ColourList colours;
    for (int i = 0; i < count; ++i) colours.push_back(makeColour(doc.red[i], doc.green[i], doc.blue[i]));
    png.SetPalette(colours);
    if (doc.transparentIndex >= 0 && doc.transparentIndex < count) {
      std::vector<std::uint8_t> alpha(static_cast<std::size_t>(doc.transparentIndex) + 1, 255);
      alpha.back() = 0;
      png.SetTransparency(alpha);
    }
    for (int y = 0; y < doc.height; ++y)
      for (int x = 0; x < doc.width; ++x) png.Row(y)[x] = row(y)[x * doc.planes];
    return png;
  }
  const int alpha = doc.effectiveAlphaPlane();
  const int colour = doc.colourPlanes();
  PngColourType type = doc.mode == kModeGray ? (alpha >= 0 ? PngColourType::GreyAlpha : PngColourType::Grey)
                                             : (alpha >= 0 ? PngColourType::Rgba : PngColourType::Rgb);
  png.Create(doc.width, doc.height, type);
  for (int y = 0; y < doc.height; ++y) {
    std::uint8_t* d = png.Row(y);
    const std::uint8_t* s = row(y);
    for (int x = 0; x < doc.width; ++x, s += doc.planes) {
      for (int c = 0; c < colour; ++c) *d++ = s[c];
      if (alpha >= 0) *d++ = s[alpha];
    }
  }
  return png;
}

}  // namespace icofmt::carried
