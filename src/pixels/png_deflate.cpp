#include "pixels/png_deflate.h"

#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>
#include <new>

#include "base/errors.h"

namespace icofmt::pngdeflate {

namespace {

constexpr std::array<uint8_t, 8> kSignature = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};

void putU32be(std::vector<uint8_t>& out, uint32_t v) {
  out.insert(out.end(), {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16),
                         static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)});
}

// Appends a chunk whose data the caller has already put at `at + 8`: fills
// in its length and type, and appends its CRC.
void closeChunk(std::vector<uint8_t>& out, size_t at, const char (&type)[5]) {
  const uint32_t length = static_cast<uint32_t>(out.size() - at - 8);
  out[at] = static_cast<uint8_t>(length >> 24);
  out[at + 1] = static_cast<uint8_t>(length >> 16);
  out[at + 2] = static_cast<uint8_t>(length >> 8);
  out[at + 3] = static_cast<uint8_t>(length);
  for (size_t k = 0; k < 4; ++k) out[at + 4 + k] = static_cast<uint8_t>(type[k]);
  putU32be(out, libdeflate_crc32(0, out.data() + at + 4, length + 4));
}

size_t openChunk(std::vector<uint8_t>& out) {
  const size_t at = out.size();
  out.resize(at + 8);
  return at;
}

int channelsOf(int colourType) {
  switch (colourType) {
    case 2:
      return 3;
    case 4:
      return 2;
    case 6:
      return 4;
    default:
      return 1;
  }
}

// Where the loader picks a function's version by the processor (ELF
// ifuncs), the filters get one for AVX2 too: the same bytes, twice as many
// at a time.
#if defined(__linux__) && defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define ICOFMT_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define ICOFMT_VECTOR_CLONES
#endif

// libpng's measure of a filtered row: its bytes taken as signed, summed by
// size. Written as plain loops over arrays so that the compiler vectorises
// them: the filters cost about as much as the compression otherwise.
ICOFMT_VECTOR_CLONES uint32_t cost(const uint8_t* p, size_t n) {
  uint32_t sum = 0;
  for (size_t i = 0; i < n; ++i) {
    const int v = static_cast<int8_t>(p[i]);
    sum += static_cast<uint32_t>(v < 0 ? -v : v);
  }
  return sum;
}

// Filters one row of `length` bytes (bpp bytes per pixel, `up` the previous
// raw row or zeros) into out[0] (the filter type) and out[1..]: the filter
// whose bytes sum smallest, the first of equals, as libpng chooses.
ICOFMT_VECTOR_CLONES void filterRow(const uint8_t* row, const uint8_t* up, size_t length, size_t bpp,
                                    uint8_t* out, uint8_t* scratch) {
  uint8_t* sub = scratch;
  uint8_t* upf = scratch + length;
  uint8_t* avg = scratch + 2 * length;
  uint8_t* pae = scratch + 3 * length;
  const size_t head = std::min(bpp, length);
  for (size_t x = 0; x < head; ++x) {
    sub[x] = row[x];
    avg[x] = static_cast<uint8_t>(row[x] - (up[x] >> 1));
    pae[x] = static_cast<uint8_t>(row[x] - up[x]);  // Paeth of (0, b, 0) is b
  }
  for (size_t x = 0; x < length; ++x) upf[x] = static_cast<uint8_t>(row[x] - up[x]);
  const uint8_t* left = row;
  const uint8_t* corner = up;
  for (size_t x = head; x < length; ++x) sub[x] = static_cast<uint8_t>(row[x] - left[x - bpp]);
  for (size_t x = head; x < length; ++x)
    avg[x] = static_cast<uint8_t>(row[x] - ((left[x - bpp] + up[x]) >> 1));
  for (size_t x = head; x < length; ++x) {
    const int a = left[x - bpp], b = up[x], c = corner[x - bpp];
    const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
    const int predictor = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
    pae[x] = static_cast<uint8_t>(row[x] - predictor);
  }
  const uint8_t* candidates[5] = {row, sub, upf, avg, pae};
  int best = 0;
  uint32_t bestSum = cost(row, length);
  for (int k = 1; k < 5; ++k) {
    const uint32_t sum = cost(candidates[k], length);
    if (sum < bestSum) {
      best = k;
      bestSum = sum;
    }
  }
  out[0] = static_cast<uint8_t>(best);
  std::copy_n(candidates[best], length, out + 1);
}

// Packs one byte per sample into bitDepth bits each, high bits first.
void packRow(const uint8_t* samples, size_t count, int bitDepth, uint8_t* out) {
  const int perByte = 8 / bitDepth;
  const size_t bytes = (count + static_cast<size_t>(perByte) - 1) / static_cast<size_t>(perByte);
  std::fill_n(out, bytes, uint8_t{0});
  const unsigned mask = (1u << bitDepth) - 1;
  for (size_t i = 0; i < count; ++i) {
    const int shift = 8 - bitDepth * (static_cast<int>(i % static_cast<size_t>(perByte)) + 1);
    out[i / static_cast<size_t>(perByte)] |= static_cast<uint8_t>((samples[i] & mask) << shift);
  }
}

struct CompressorFree {
  void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

}  // namespace

std::vector<uint8_t> writePng(const Spec& spec, const uint8_t* const* rows, int level, bool filterRows) {
  const size_t channels = static_cast<size_t>(channelsOf(spec.colourType));
  const size_t samples = static_cast<size_t>(spec.width) * channels;
  const size_t rowBytes = (samples * static_cast<size_t>(spec.bitDepth) + 7) / 8;
  const size_t bpp = std::max<size_t>(1, channels * static_cast<size_t>(spec.bitDepth) / 8);
  // libpng's default: no filter for palette images and below 8 bits.
  const bool adaptive = filterRows && spec.colourType != 3 && spec.bitDepth >= 8;

  std::vector<uint8_t> filtered((rowBytes + 1) * spec.height);
  std::vector<uint8_t> packed(spec.bitDepth < 8 ? rowBytes : 0);
  std::vector<uint8_t> zeros(adaptive ? rowBytes : 0, 0);
  std::vector<uint8_t> scratch(adaptive ? 4 * rowBytes : 0);
  for (uint32_t y = 0; y < spec.height; ++y) {
    uint8_t* out = filtered.data() + static_cast<size_t>(y) * (rowBytes + 1);
    if (adaptive) {
      filterRow(rows[y], y == 0 ? zeros.data() : rows[y - 1], rowBytes, bpp, out, scratch.data());
    } else if (spec.bitDepth < 8) {
      out[0] = 0;
      packRow(rows[y], samples, spec.bitDepth, out + 1);
    } else {
      out[0] = 0;
      std::copy_n(rows[y], rowBytes, out + 1);
    }
  }

  std::unique_ptr<libdeflate_compressor, CompressorFree> compressor(
      libdeflate_alloc_compressor(std::clamp(level, 0, 12)));
  if (!compressor) throw std::bad_alloc();
  const size_t bound = libdeflate_zlib_compress_bound(compressor.get(), filtered.size());

  std::vector<uint8_t> out(kSignature.begin(), kSignature.end());
  out.reserve(8 + 25 + 12 + 3 * static_cast<size_t>(spec.paletteCount) + 12 +
              static_cast<size_t>(spec.alphaCount) + 12 + bound + 12);

  size_t at = openChunk(out);
  putU32be(out, spec.width);
  putU32be(out, spec.height);
  out.insert(out.end(),
             {static_cast<uint8_t>(spec.bitDepth), static_cast<uint8_t>(spec.colourType), 0, 0, 0});
  closeChunk(out, at, "IHDR");
  if (spec.paletteCount > 0) {
    at = openChunk(out);
    out.insert(out.end(), spec.palette, spec.palette + 3 * spec.paletteCount);
    closeChunk(out, at, "PLTE");
  }
  if (spec.alphaCount > 0) {
    at = openChunk(out);
    out.insert(out.end(), spec.alpha, spec.alpha + spec.alphaCount);
    closeChunk(out, at, "tRNS");
  }
  at = openChunk(out);
  const size_t dataAt = out.size();
  out.resize(dataAt + bound);
  const size_t written = libdeflate_zlib_compress(compressor.get(), filtered.data(), filtered.size(),
                                                  out.data() + dataAt, bound);
  if (written == 0) throw Error("PNG encoding failed");  // the bound holds whatever the data
  out.resize(dataAt + written);
  closeChunk(out, at, "IDAT");
  at = openChunk(out);
  closeChunk(out, at, "IEND");
  return out;
}

}  // namespace icofmt::pngdeflate
