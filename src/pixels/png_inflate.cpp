#include "pixels/png_inflate.h"

#include <libdeflate.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

namespace icofmt::pnginflate {

namespace {

uint32_t u32be(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

struct DecompressorFree {
  void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

// Undoes one row's filter into out; prev is the previous unfiltered row, or
// zeros for the first. False for a filter type PNG does not define. The
// first pixel of a row has no left neighbour, so it is done apart and the
// loops over the rest need no test.
bool unfilterRow(int type, const uint8_t* in, const uint8_t* prev, uint8_t* out, size_t length, size_t bpp) {
  const size_t head = bpp < length ? bpp : length;
  switch (type) {
    case 0:
      std::memcpy(out, in, length);
      return true;
    case 1:
      std::memcpy(out, in, head);
      for (size_t x = head; x < length; ++x) out[x] = static_cast<uint8_t>(in[x] + out[x - bpp]);
      return true;
    case 2:
      for (size_t x = 0; x < length; ++x) out[x] = static_cast<uint8_t>(in[x] + prev[x]);
      return true;
    case 3:
      for (size_t x = 0; x < head; ++x) out[x] = static_cast<uint8_t>(in[x] + (prev[x] >> 1));
      for (size_t x = head; x < length; ++x)
        out[x] = static_cast<uint8_t>(in[x] + ((out[x - bpp] + prev[x]) >> 1));
      return true;
    case 4:
      // Paeth of (0, b, 0) is b.
      for (size_t x = 0; x < head; ++x) out[x] = static_cast<uint8_t>(in[x] + prev[x]);
      for (size_t x = head; x < length; ++x) {
        const int a = out[x - bpp], b = prev[x], c = prev[x - bpp];
        const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
        out[x] = static_cast<uint8_t>(in[x] + (pa <= pb && pa <= pc ? a : pb <= pc ? b : c));
      }
      return true;
    default:
      return false;
  }
}

}  // namespace

namespace {

// The filtered rows of the image data when this decoder takes them: every
// IDAT chunk whole with its CRC right, a zlib stream with the full window
// inflating to exactly the rows' bytes. Null otherwise.
std::unique_ptr<uint8_t[]> inflateFiltered(std::span<const uint8_t> png, size_t at, size_t filtered) {
  // The IDAT chunks, one after the other from the first, each whole and
  // with its CRC right (libpng refuses an IDAT whose CRC is wrong).
  if (at < 8 || at > png.size()) return nullptr;
  size_t chunk = at - 8;
  std::vector<uint8_t> joined;
  std::span<const uint8_t> data;
  int chunks = 0;
  while (png.size() - chunk >= 12 && std::memcmp(png.data() + chunk + 4, "IDAT", 4) == 0) {
    const uint32_t length = u32be(png.data() + chunk);
    if (length > png.size() - chunk - 12) return nullptr;
    const uint8_t* type = png.data() + chunk + 4;
    if (libdeflate_crc32(0, type, size_t{length} + 4) != u32be(type + 4 + length)) return nullptr;
    if (chunks == 0) {
      data = std::span<const uint8_t>(type + 4, length);
    } else {
      if (chunks == 1) joined.assign(data.begin(), data.end());
      joined.insert(joined.end(), type + 4, type + 4 + length);
    }
    ++chunks;
    chunk += size_t{length} + 12;
  }
  if (chunks == 0) return nullptr;
  if (chunks > 1) data = joined;
  // A window smaller than 32 KiB is one zlib enforces and libdeflate does not.
  if (data.size() < 2 || (data[0] & 0x0F) != 8 || (data[0] >> 4) != 7) return nullptr;
  // Every byte is written by the inflater before it is read.
  std::unique_ptr<uint8_t[]> raw(new uint8_t[filtered]);
  std::unique_ptr<libdeflate_decompressor, DecompressorFree> inflater(libdeflate_alloc_decompressor());
  if (!inflater) return nullptr;
  if (libdeflate_zlib_decompress(inflater.get(), data.data(), data.size(), raw.get(), filtered, nullptr) !=
      LIBDEFLATE_SUCCESS)
    return nullptr;
  return raw;
}

}  // namespace

bool inflateRows(std::span<const uint8_t> png, size_t at, uint32_t width, uint32_t height, int channels,
                 uint8_t* out) {
  const size_t rowLength = size_t{width} * static_cast<size_t>(channels);
  const std::unique_ptr<uint8_t[]> raw = inflateFiltered(png, at, (rowLength + 1) * height);
  if (!raw) return false;
  const std::vector<uint8_t> zeros(rowLength, 0);
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* in = raw.get() + size_t{y} * (rowLength + 1);
    uint8_t* row = out + size_t{y} * rowLength;
    if (!unfilterRow(in[0], in + 1, y == 0 ? zeros.data() : row - rowLength, row, rowLength,
                     static_cast<size_t>(channels)))
      return false;
  }
  return true;
}

std::optional<bool> anyAlpha8(std::span<const uint8_t> png, size_t at, uint32_t width, uint32_t height,
                              int channels) {
  const size_t bpp = static_cast<size_t>(channels), rowLength = size_t{width} * bpp;
  const std::unique_ptr<uint8_t[]> raw = inflateFiltered(png, at, (rowLength + 1) * height);
  if (!raw) return std::nullopt;
  std::vector<uint8_t> rows(2 * rowLength, 0);  // the row above, the row
  bool found = channels == 3;
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* in = raw.get() + size_t{y} * (rowLength + 1);
    if (in[0] > 4) return std::nullopt;  // inflateRows refuses it
    if (found) continue;                 // only the filter types are left to check
    uint8_t* above = rows.data() + (y % 2) * rowLength;
    uint8_t* row = rows.data() + ((y + 1) % 2) * rowLength;
    unfilterRow(in[0], in + 1, above, row, rowLength, bpp);
    for (size_t x = bpp - 1; x < rowLength && !found; x += bpp) found = row[x] != 0;
  }
  return found;
}

}  // namespace icofmt::pnginflate
