#include "save/source_image.h"

#include <algorithm>
#include <array>

#include "base/limits.h"
#include "pixels/alpha.h"
#include "pixels/palettes.h"
#include "pixels/png_image.h"

namespace icofmt::save {

namespace {

bool captureMatches(const HostImage& image, std::span<const std::uint8_t> capture) {
  const auto expected = expectedCaptureLength(image);
  return expected && capture.size() == *expected;
}

std::uint32_t bigEndian32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

// The carried module writes the image it was given; a PNG of another size is
// not that image, and its header is read before anything is decoded from it.
bool pngHasImageSize(std::span<const std::uint8_t> png, const HostImage& image) {
  static constexpr std::array<std::uint8_t, 16> kStart = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A,
                                                          0,    0,   0,   13,  'I',  'H',  'D',  'R'};
  if (png.size() < 24 || !std::equal(kStart.begin(), kStart.end(), png.begin())) return false;
  return bigEndian32(png.data() + 16) == static_cast<std::uint32_t>(image.width) &&
         bigEndian32(png.data() + 20) == static_cast<std::uint32_t>(image.height);
}

// The PNG's transparency as a mask of the image's size.
TBitmap maskFromPng(std::span<const std::uint8_t> bytes, const HostImage& image) {
  PngImage png;
  png.LoadFromMemory(bytes);
  TBitmap colour;
  TBitmap mask = NewMaskBitmap();
  SplitPng(png, colour, mask, kPngMaskThreshold);
  mask.SetSize(image.width, image.height);
  return mask;
}

Colour tableColour(const ColourTables& tables, int i) {
  return makeColour(tables.red[i], tables.green[i], tables.blue[i]);
}

bool nearBlack(const ColourTables& tables, int i) {
  return tables.red[i] <= 4 && tables.green[i] <= 4 && tables.blue[i] <= 4;
}

}  // namespace

int buildRgbSource(const HostImage& image, std::span<const std::uint8_t> capture, TBitmapFix32& source,
                   TBitmap& mask, int& proposedDepth) {
  proposedDepth = 32;
  // Red, green and blue are planes 0 to 2; alpha is plane 3 when there is one.
  if (image.planes < 3 || !captureMatches(image, capture)) return -1;
  try {
    TBitmapFix32 built;
    SetupBitmap(built, image.width, image.height, PixelFormat::Bits32);
    TBitmap builtMask;
    SetupOpaqueMask(builtMask, image.width, image.height);
    const std::size_t planes = static_cast<std::size_t>(image.planes);
    for (int y = 0; y < image.height; ++y) {
      std::uint8_t* d = built.ScanLine(y);
      for (int x = 0; x < image.width; ++x, d += 4) {
        const std::uint8_t* p = capture.data() + planes * (static_cast<std::size_t>(y) * image.width + x);
        d[0] = p[2];
        d[1] = p[1];
        d[2] = p[0];
        d[3] = planes >= 4 ? p[3] : 255;
        if (d[3] == 0) builtMask.SetIndex(x, y, 1);
      }
    }
    source = std::move(built);
    mask = std::move(builtMask);
  } catch (...) {
    return -1;
  }
  return 0;
}

int buildPaletteSource(const HostImage& image, std::span<const std::uint8_t> capture,
                       const ColourTables& tables, std::span<const std::uint8_t> png, TBitmapFix32& source,
                       TBitmap& mask, TListByte& distinct, int& proposedDepth) {
  int black = 255;
  for (int i = 0; i < 256; ++i) {
    if (tableColour(tables, i) == kBlack) {
      black = i;
      break;
    }
  }
  if (!captureMatches(image, capture) || !pngHasImageSize(png, image)) return -1;
  try {
    TBitmap builtMask = maskFromPng(png, image);
    TBitmapFix32 built;
    SetupBitmap(built, image.width, image.height, PixelFormat::Bits8);
    ColourList palette(256);
    for (int i = 0; i < 256; ++i) palette[i] = tableColour(tables, i);
    built.SetPalette(palette);
    TListByte used;
    std::array<bool, 256> seen{};
    const std::size_t planes = static_cast<std::size_t>(image.planes);
    for (int y = 0; y < image.height; ++y) {
      std::uint8_t* d = built.ScanLine(y);
      for (int x = 0; x < image.width; ++x) {
        const std::uint8_t m = capture[planes * (static_cast<std::size_t>(y) * image.width + x)];
        d[x] = m;
        const int counted = nearBlack(tables, m) ? black : m;
        if (!seen[counted]) {
          seen[counted] = true;
          used.Add(static_cast<std::uint8_t>(counted));
        }
      }
    }
    proposedDepth = image.mode == kModeIndexed ? proposedIndexedDepth(used, tables) : 8;
    source = std::move(built);
    mask = std::move(builtMask);
    distinct.Assign(&used);
  } catch (...) {
    return -1;
  }
  return 0;
}

int buildBitSource(const HostImage& image, std::span<const std::uint8_t> capture, TBitmapFix32& source,
                   TBitmap& mask, int& proposedDepth) {
  proposedDepth = 1;
  if (!captureMatches(image, capture)) return -1;
  try {
    TBitmapFix32 built;
    SetupBitmap(built, image.width, image.height, PixelFormat::Bits1);
    built.SetPalette({kBlack, kWhite});
    const std::size_t rowBytes = (static_cast<std::size_t>(image.width) + 7) / 8;
    const std::size_t planes = static_cast<std::size_t>(image.planes);
    // A set bit is black to the host and white in this palette.
    for (int y = 0; y < image.height; ++y) {
      std::uint8_t* d = built.ScanLine(y);
      for (std::size_t b = 0; b < rowBytes; ++b)
        d[b] = static_cast<std::uint8_t>(~capture[planes * (b + y * rowBytes)]);
    }
    TBitmap builtMask;
    SetupOpaqueMask(builtMask, image.width, image.height);
    source = std::move(built);
    mask = std::move(builtMask);
  } catch (...) {
    return -1;
  }
  return 0;
}

int buildSourceImage(const SourceInputs& in, TBitmapFix32& source, TBitmap& mask, int& proposedDepth,
                     TListByte* distinct) {
  switch (in.image.mode) {
    case kModeRgb:
      return buildRgbSource(in.image, in.capture, source, mask, proposedDepth);
    case kModeBitmap:
      return buildBitSource(in.image, in.capture, source, mask, proposedDepth);
    case kModeGray:
    case kModeIndexed: {
      if (in.tables == nullptr) return -1;
      TListByte local;
      return buildPaletteSource(in.image, in.capture, *in.tables, in.png, source, mask,
                                distinct != nullptr ? *distinct : local, proposedDepth);
    }
    default:
      return -1;
  }
}

int proposedIndexedDepth(const TListByte& distinct, const ColourTables& tables) {
  const auto used = distinct.Values();
  if (used.empty()) return 1;
  if (used.size() == 2) {
    const Colour a = tableColour(tables, used[0]), b = tableColour(tables, used[1]);
    if ((a == kBlack && b == kWhite) || (a == kWhite && b == kBlack)) return 1;
  }
  for (std::uint8_t i : used)
    if (!IsStandardColour(tableColour(tables, i))) return 8;
  return 4;
}

bool readBackPng(platform::FileHandle file, std::vector<std::uint8_t>& png) {
  if (file == platform::kInvalidFile) return false;
  const std::int64_t size = platform::fileSize(file);
  if (size < 0 || static_cast<std::uint64_t>(size) > limits::kSavePngMax) return false;
  if (platform::seekFile(file, 0, platform::SeekOrigin::Begin) != 0) return false;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  std::size_t done = 0;
  while (done < bytes.size()) {
    const std::int64_t got = platform::readFile(file, bytes.data() + done, bytes.size() - done);
    if (got <= 0) return false;
    done += static_cast<std::size_t>(got);
  }
  png = std::move(bytes);
  return true;
}

}  // namespace icofmt::save
