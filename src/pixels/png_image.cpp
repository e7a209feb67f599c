// The one translation unit that includes libpng. Every libpng call that can
// fail runs inside a small function that owns the setjmp frame and holds no
// C++ object with a destructor; C++ objects live outside, in the callers.
#include "pixels/png_image.h"

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/errors.h"
#include "base/limits.h"
#include "base/stream.h"
#include "pixels/png_deflate.h"
#include "pixels/png_inflate.h"

namespace icofmt {

namespace {

struct PngContext {
  // Reading.
  const uint8_t* input = nullptr;
  size_t inputSize = 0;
  size_t inputPos = 0;
  // Writing: a malloc'd buffer, freed by the caller's guard.
  uint8_t* output = nullptr;
  size_t outputSize = 0;
  size_t outputCapacity = 0;
  // Allocation accounting for libpng's own memory.
  uint64_t liveBytes = 0;
  char message[128] = {0};
};

struct AllocHeader {
  alignas(std::max_align_t) size_t size;
};

png_voidp cappedMalloc(png_structp png, png_alloc_size_t size) {
  auto* ctx = static_cast<PngContext*>(png_get_mem_ptr(png));
  if (size > limits::kPngAllocMax || ctx->liveBytes + size > limits::kPngAllocMax) return nullptr;
  auto* block = static_cast<AllocHeader*>(std::malloc(sizeof(AllocHeader) + size));
  if (!block) return nullptr;
  block->size = size;
  ctx->liveBytes += size;
  return block + 1;
}

void cappedFree(png_structp png, png_voidp ptr) {
  if (!ptr) return;
  auto* ctx = static_cast<PngContext*>(png_get_mem_ptr(png));
  auto* block = static_cast<AllocHeader*>(ptr) - 1;
  ctx->liveBytes -= block->size;
  std::free(block);
}

void onError(png_structp png, png_const_charp message) {
  auto* ctx = static_cast<PngContext*>(png_get_error_ptr(png));
  std::snprintf(ctx->message, sizeof ctx->message, "%s", message ? message : "PNG error");
  png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

void readData(png_structp png, png_bytep out, size_t length) {
  auto* ctx = static_cast<PngContext*>(png_get_io_ptr(png));
  if (length > ctx->inputSize - ctx->inputPos) png_error(png, "Read past the end of the PNG data");
  std::memcpy(out, ctx->input + ctx->inputPos, length);
  ctx->inputPos += length;
}

void writeData(png_structp png, png_bytep data, size_t length) {
  auto* ctx = static_cast<PngContext*>(png_get_io_ptr(png));
  if (length > ctx->outputCapacity - ctx->outputSize) {
    size_t want = std::max(ctx->outputCapacity * 2, ctx->outputSize + length + 4096);
    auto* grown = static_cast<uint8_t*>(std::realloc(ctx->output, want));
    if (!grown) png_error(png, "Out of memory");
    ctx->output = grown;
    ctx->outputCapacity = want;
  }
  std::memcpy(ctx->output + ctx->outputSize, data, length);
  ctx->outputSize += length;
}

void flushData(png_structp) {}

struct ReadGuard {
  png_structp png = nullptr;
  png_infop info = nullptr;
  ~ReadGuard() {
    if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
  }
};

struct WriteGuard {
  png_structp png = nullptr;
  png_infop info = nullptr;
  PngContext* ctx = nullptr;
  ~WriteGuard() {
    if (png) png_destroy_write_struct(&png, info ? &info : nullptr);
    if (ctx) std::free(ctx->output);
  }
};

// What the header says, after the transforms that fix the held form.
struct HeaderInfo {
  png_uint_32 width, height;
  int bitDepth, colourType, interlace, channels;
  bool hasTrns;
};

void configureReader(png_structp png) {
  png_set_user_limits(png, limits::kPngSideMax, limits::kPngSideMax);
  // libpng 1.6 would allocate whatever a text, iCCP or sPLT chunk claims.
  png_set_chunk_cache_max(png, limits::kPngChunkCacheMax);
  png_set_chunk_malloc_max(png, limits::kPngChunkMallocMax);
  static const png_byte ignored[] = {'t', 'E', 'X', 't', 0,   'z', 'T', 'X', 't', 0,   'i', 'T', 'X',
                                     't', 0,   'i', 'C', 'C', 'P', 0,   's', 'P', 'L', 'T', 0};
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, ignored, 5);
}

bool readHeader(png_structp png, png_infop info, HeaderInfo* out) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_info(png, info);
  out->width = png_get_image_width(png, info);
  out->height = png_get_image_height(png, info);
  out->bitDepth = png_get_bit_depth(png, info);
  out->colourType = png_get_color_type(png, info);
  out->interlace = png_get_interlace_type(png, info);
  out->hasTrns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  if (out->width > limits::kPngSideMax || out->height > limits::kPngSideMax) return true;
  if (out->bitDepth == 16) png_set_strip_16(png);
  if (out->colourType == PNG_COLOR_TYPE_PALETTE) {
    if (out->bitDepth < 8) png_set_packing(png);
  } else if (out->hasTrns) {
    png_set_tRNS_to_alpha(png);
  } else if (out->colourType == PNG_COLOR_TYPE_GRAY && out->bitDepth < 8) {
    png_set_expand_gray_1_2_4_to_8(png);
  }
  if (out->interlace != PNG_INTERLACE_NONE) png_set_interlace_handling(png);
  png_read_update_info(png, info);
  out->channels = png_get_channels(png, info);
  return true;
}

bool readPalette(png_structp png, png_infop info, png_colorp* colours, int* count, png_bytep* alpha,
                 int* alphaCount) {
  if (setjmp(png_jmpbuf(png))) return false;
  *count = 0;
  *alphaCount = 0;
  if (png_get_valid(png, info, PNG_INFO_PLTE)) png_get_PLTE(png, info, colours, count);
  if (png_get_valid(png, info, PNG_INFO_tRNS)) png_get_tRNS(png, info, alpha, alphaCount, nullptr);
  return true;
}

bool readRows(png_structp png, png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_image(png, rows);
  return true;
}

struct WriteSpec {
  png_uint_32 width, height;
  int bitDepth, colourType, interlace, level;
  bool unfiltered;
  const png_color* palette;
  int paletteCount;
  const png_byte* alpha;
  int alphaCount;
};

bool writeAll(png_structp png, png_infop info, const WriteSpec* spec, png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_IHDR(png, info, spec->width, spec->height, spec->bitDepth, spec->colourType, spec->interlace,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (spec->level >= 0) png_set_compression_level(png, spec->level);
  if (spec->unfiltered) png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
  if (spec->paletteCount > 0) png_set_PLTE(png, info, spec->palette, spec->paletteCount);
  if (spec->alphaCount > 0)
    png_set_tRNS(png, info, const_cast<png_bytep>(spec->alpha), spec->alphaCount, nullptr);
  png_write_info(png, info);
  if (spec->bitDepth < 8) png_set_packing(png);
  png_write_image(png, rows);
  png_write_end(png, info);
  return true;
}

[[noreturn]] void fail(const PngContext& ctx) {
  throw InvalidImage(ctx.message[0] ? std::string("Invalid image: ") + ctx.message
                                    : std::string("Invalid image"));
}

// What every read begins with: the reader over bytes, its header read and
// held to our limits before anything is sized from it.
HeaderInfo startReading(std::span<const uint8_t> bytes, PngContext& ctx, ReadGuard& guard) {
  if (bytes.size() < 8 || png_sig_cmp(bytes.data(), 0, 8) != 0) throw InvalidImage();
  ctx.input = bytes.data();
  ctx.inputSize = bytes.size();
  guard.png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, &ctx, onError, onWarning, &ctx, cappedMalloc,
                                       cappedFree);
  if (!guard.png) throw InvalidImage();
  guard.info = png_create_info_struct(guard.png);
  if (!guard.info) throw InvalidImage();
  png_set_read_fn(guard.png, &ctx, readData);
  configureReader(guard.png);
  HeaderInfo h{};
  if (!readHeader(guard.png, guard.info, &h)) fail(ctx);
  if (h.width == 0 || h.height == 0 || h.width > limits::kPngSideMax || h.height > limits::kPngSideMax)
    throw InvalidImage();
  if (h.channels < 1 || h.channels > 4) throw InvalidImage();
  return h;
}

}  // namespace

void PngImage::LoadFromMemory(std::span<const uint8_t> bytes, PngDecoder decoder) {
  PngContext ctx;
  ReadGuard guard;
  const HeaderInfo h = startReading(bytes, ctx, guard);

  PngImage img;
  img.width_ = static_cast<int>(h.width);
  img.height_ = static_cast<int>(h.height);
  img.type_ = static_cast<PngColourType>(h.colourType);
  img.bitDepth_ = h.bitDepth;
  img.interlaced_ = h.interlace != PNG_INTERLACE_NONE;
  img.channels_ = h.channels;

  png_colorp colours = nullptr;
  png_bytep alpha = nullptr;
  int count = 0, alphaCount = 0;
  if (!readPalette(guard.png, guard.info, &colours, &count, &alpha, &alphaCount)) fail(ctx);
  if (h.colourType == PNG_COLOR_TYPE_PALETTE) {
    for (int i = 0; i < count; ++i)
      img.palette_.push_back(makeColour(colours[i].red, colours[i].green, colours[i].blue));
    if (h.hasTrns && alpha) {
      img.transparency_.assign(alpha, alpha + alphaCount);
      img.hasTransparency_ = true;
    }
  }

  img.samples_.assign(img.RowLength() * h.height, 0);
  // libpng has read up to the first IDAT chunk's data, and its transforms
  // leave 8-bit samples without tRNS as they are: pnginflate decodes those
  // or leaves them, untouched, to libpng.
  const bool plain = h.interlace == PNG_INTERLACE_NONE && h.bitDepth == 8 &&
                     (h.colourType == PNG_COLOR_TYPE_PALETTE || !h.hasTrns);
  if (plain && decoder == PngDecoder::Fastest &&
      pnginflate::inflateRows(bytes, ctx.inputPos, h.width, h.height, h.channels, img.samples_.data())) {
    *this = std::move(img);
    return;
  }
  std::vector<png_bytep> rows(h.height);
  for (png_uint_32 y = 0; y < h.height; ++y) rows[y] = img.Row(static_cast<int>(y));
  if (!readRows(guard.png, rows.data())) fail(ctx);
  *this = std::move(img);
}

PngHeader PngImage::ReadHeader(std::span<const uint8_t> bytes) {
  PngContext ctx;
  ReadGuard guard;
  const HeaderInfo h = startReading(bytes, ctx, guard);
  PngHeader out;
  out.width = static_cast<int>(h.width);
  out.height = static_cast<int>(h.height);
  out.colourType = static_cast<PngColourType>(h.colourType);
  out.bitDepth = h.bitDepth;
  out.interlaced = h.interlace != PNG_INTERLACE_NONE;
  out.hasTransparency = h.hasTrns;
  return out;
}

void PngImage::LoadFromStream(TStream& stream) {
  int64_t left = stream.Size() - stream.Position();
  if (left <= 0) throw InvalidImage();
  // Bytes that are already in memory are decoded where they lie.
  if (auto* view = dynamic_cast<THCustomMemoryStream*>(&stream)) {
    LoadFromMemory(view->Bytes().subspan(static_cast<size_t>(stream.Position())));
    stream.Seek(0, SeekOrigin::End);
    return;
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(left));
  stream.ReadBuffer(bytes.data(), left);
  LoadFromMemory(bytes);
}

void PngImage::Create(int width, int height, PngColourType type, int bitDepth) {
  if (width <= 0 || height <= 0 || static_cast<uint32_t>(width) > limits::kPngSideMax ||
      static_cast<uint32_t>(height) > limits::kPngSideMax)
    throw InvalidImage();
  if (type != PngColourType::Palette && type != PngColourType::Grey) bitDepth = 8;
  if (bitDepth != 1 && bitDepth != 2 && bitDepth != 4 && bitDepth != 8) throw InvalidImage();
  width_ = width;
  height_ = height;
  type_ = type;
  bitDepth_ = bitDepth;
  interlaced_ = false;
  channels_ = type == PngColourType::Rgba        ? 4
              : type == PngColourType::Rgb       ? 3
              : type == PngColourType::GreyAlpha ? 2
                                                 : 1;
  samples_.assign(RowLength() * static_cast<size_t>(height), 0);
  palette_.clear();
  transparency_.clear();
  hasTransparency_ = false;
}

std::vector<uint8_t> PngImage::Encode(int compressionLevel) const { return encode(compressionLevel, false); }

std::vector<uint8_t> PngImage::EncodeTemporary() const { return encode(0, true); }

std::vector<uint8_t> PngImage::encode(int compressionLevel, bool unfiltered) const {
  if (width_ <= 0 || height_ <= 0) throw InvalidImage();
  const bool paletted = type_ == PngColourType::Palette;
  const bool packedGrey = type_ == PngColourType::Grey && bitDepth_ < 8;
  std::vector<png_color> colours;
  if (paletted) {
    size_t n = std::min<size_t>(palette_.size(), size_t{1} << bitDepth_);
    for (size_t i = 0; i < n; ++i)
      colours.push_back({static_cast<png_byte>(redOf(palette_[i])),
                         static_cast<png_byte>(greenOf(palette_[i])),
                         static_cast<png_byte>(blueOf(palette_[i]))});
    if (colours.empty()) colours.push_back({0, 0, 0});
  }
  // Indices past the palette would make a file other readers reject. Only
  // samples that must change are copied; libpng copies each row before it
  // filters it and never writes into the rows it is given.
  std::vector<uint8_t> adjusted;
  if (paletted || packedGrey) adjusted = samples_;
  if (paletted)
    for (auto& s : adjusted)
      if (s >= colours.size()) s = 0;
  if (packedGrey)
    for (auto& s : adjusted) s = static_cast<uint8_t>(s >> (8 - bitDepth_));
  uint8_t* samples = adjusted.empty() ? const_cast<uint8_t*>(samples_.data()) : adjusted.data();
  std::vector<png_bytep> rows(static_cast<size_t>(height_));
  for (int y = 0; y < height_; ++y)
    rows[static_cast<size_t>(y)] = samples + static_cast<size_t>(y) * RowLength();

  // Kept PNGs (compressed at libdeflate's level) and temporary ones (stored,
  // unfiltered) are written by pngdeflate; explicit zlib levels and
  // interlaced images by libpng.
  if ((compressionLevel < 0 || unfiltered) && !interlaced_) {
    pngdeflate::Spec spec;
    spec.width = static_cast<uint32_t>(width_);
    spec.height = static_cast<uint32_t>(height_);
    spec.bitDepth = paletted || packedGrey ? bitDepth_ : 8;
    spec.colourType = static_cast<int>(type_);
    std::vector<uint8_t> triplets;
    for (const png_color& c : colours) triplets.insert(triplets.end(), {c.red, c.green, c.blue});
    spec.palette = triplets.data();
    spec.paletteCount = static_cast<int>(colours.size());
    spec.alpha = transparency_.data();
    spec.alphaCount =
        paletted && hasTransparency_ ? static_cast<int>(std::min(transparency_.size(), colours.size())) : 0;
    return unfiltered ? pngdeflate::writePng(spec, rows.data(), 0, false)
                      : pngdeflate::writePng(spec, rows.data());
  }

  PngContext ctx;
  WriteGuard guard;
  guard.ctx = &ctx;
  guard.png = png_create_write_struct_2(PNG_LIBPNG_VER_STRING, &ctx, onError, onWarning, &ctx, cappedMalloc,
                                        cappedFree);
  if (!guard.png) throw Error("PNG encoder unavailable");
  guard.info = png_create_info_struct(guard.png);
  if (!guard.info) throw Error("PNG encoder unavailable");
  png_set_write_fn(guard.png, &ctx, writeData, flushData);

  WriteSpec spec{};
  spec.width = static_cast<png_uint_32>(width_);
  spec.height = static_cast<png_uint_32>(height_);
  spec.bitDepth = paletted || packedGrey ? bitDepth_ : 8;
  spec.colourType = static_cast<int>(type_);
  spec.interlace = interlaced_ ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE;
  spec.level = std::clamp(compressionLevel, -1, 9);
  spec.unfiltered = unfiltered;
  spec.palette = colours.data();
  spec.paletteCount = static_cast<int>(colours.size());
  size_t alphaCount = paletted && hasTransparency_ ? std::min(transparency_.size(), colours.size()) : 0;
  spec.alpha = transparency_.data();
  spec.alphaCount = static_cast<int>(alphaCount);
  if (!writeAll(guard.png, guard.info, &spec, rows.data()))
    throw Error(std::string("PNG encoding failed: ") + ctx.message);
  return std::vector<uint8_t>(ctx.output, ctx.output + ctx.outputSize);
}

void PngImage::SaveToStream(TStream& stream, int compressionLevel) const {
  std::vector<uint8_t> bytes = Encode(compressionLevel);
  stream.WriteBytes(bytes);
}

void PngImage::SaveToFile(const std::string& path, int compressionLevel) const {
  std::vector<uint8_t> bytes = Encode(compressionLevel);
  writeFileBytes(path, bytes);
}

}  // namespace icofmt
