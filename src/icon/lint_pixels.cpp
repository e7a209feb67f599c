#include "icon/lint_pixels.h"

#include <string>

#include "base/byte_reader.h"
#include "base/checked.h"
#include "icon/ico_format.h"

namespace icofmt::lint {

namespace {

// Read access to the colour bits, palette and mask of a block whose ranges
// were checked against its length; rows are counted as stored (bottom first).
class BlockPixels {
 public:
  BlockPixels(std::span<const uint8_t> block, const BitmapInfoHeader& h, uint32_t width, uint32_t height,
              uint32_t bits, uint64_t paletteColours, bool maskPresent)
      : block_(block),
        bits_(bits),
        paletteColours_(paletteColours),
        bitsAt_(headerAndPaletteLength(h)),
        row_(rowSize(width, bits)),
        maskAt_(bitsAt_ + row_ * height),
        maskRow_(rowSize(width, 1)),
        maskPresent_(maskPresent) {}

  uint32_t index(uint32_t x, uint32_t y) const {
    const uint8_t byte = block_[bitsAt_ + row_ * y + x * bits_ / 8];
    const uint32_t shift = 8 - bits_ - (x * bits_) % 8;
    return (byte >> shift) & ((1u << bits_) - 1);
  }
  // 0xRRGGBB as a reader shows it; an index past the palette reads as black.
  uint32_t rgb(uint32_t x, uint32_t y) const {
    if (bits_ <= 8) {
      const uint32_t i = index(x, y);
      if (i >= paletteColours_) return 0;
      return loadU32le(block_.data() + kInfoHeaderSize + 4 * uint64_t{i}) & 0xFFFFFF;
    }
    const uint8_t* p = block_.data() + bitsAt_ + row_ * y + uint64_t{x} * (bits_ / 8);
    if (bits_ == 16) {
      const uint32_t v = loadU16le(p);
      return ((v >> 10 & 31) << 19) | ((v >> 5 & 31) << 11) | ((v & 31) << 3);
    }
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16;
  }
  uint8_t alpha(uint32_t x, uint32_t y) const { return block_[bitsAt_ + row_ * y + uint64_t{x} * 4 + 3]; }
  bool masked(uint32_t x, uint32_t y) const {
    return maskPresent_ && (block_[maskAt_ + maskRow_ * y + x / 8] & (0x80 >> (x % 8))) != 0;
  }

 private:
  std::span<const uint8_t> block_;
  uint32_t bits_;
  uint64_t paletteColours_, bitsAt_, row_, maskAt_, maskRow_;
  bool maskPresent_;
};

std::string hexColour(uint32_t rgb) {
  static const char digits[] = "0123456789ABCDEF";
  std::string s = "#";
  for (int shift = 20; shift >= 0; shift -= 4) s += digits[(rgb >> shift) & 15];
  return s;
}

std::string pixels(uint64_t n) { return std::to_string(n) + (n == 1 ? " pixel" : " pixels"); }

// The colour of the whole one-pixel edge when it has one, and the picture
// another inside: the sign of a background meant to be transparent.
bool hasPlainBackground(const BlockPixels& p, uint32_t w, uint32_t h, uint32_t& background) {
  if (w < 3 || h < 3) return false;
  background = p.rgb(0, 0);
  for (uint32_t x = 0; x < w; ++x)
    if (p.rgb(x, 0) != background || p.rgb(x, h - 1) != background) return false;
  for (uint32_t y = 0; y < h; ++y)
    if (p.rgb(0, y) != background || p.rgb(w - 1, y) != background) return false;
  for (uint32_t y = 1; y + 1 < h; ++y)
    for (uint32_t x = 1; x + 1 < w; ++x)
      if (p.rgb(x, y) != background) return true;
  return false;
}

}  // namespace

void checkBitmapBlock(std::span<const uint8_t> block, int image, bool cursor, std::vector<Finding>& out) {
  auto add = [&](const char* code, Level level, std::string message) {
    out.push_back({code, level, image, std::move(message)});
  };
  const BitmapInfoHeader h = decodeInfoHeader(block);
  const uint32_t bits = uint32_t{h.biPlanes} * h.biBitCount;
  if (h.biWidth <= 0 || h.biHeight < 2) {
    add("image-unreadable", Level::Error,
        "the bitmap header gives a width of " + std::to_string(h.biWidth) + " and a double height of " +
            std::to_string(h.biHeight) + ": no reader can draw it");
    return;
  }
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
    add("image-unreadable", Level::Error,
        "the bitmap has " + std::to_string(bits) +
            " bits per pixel: readers take 1, 4, 8, 16, 24 or 32, and Windows shows nothing for it");
    return;
  }
  const bool bitFields = h.biCompression == 3 && (bits == 16 || bits == 32);
  if (h.biCompression != 0 && !bitFields) {
    add("image-unreadable", Level::Error,
        "the bitmap is compressed (method " + std::to_string(h.biCompression) +
            "): icon bitmaps are read uncompressed, and Windows shows nothing for it");
    return;
  }
  // Other header versions and bit fields move the pixels; readers that take
  // them agree on the picture, and its traps are not looked for.
  if (bitFields || h.biSize != kInfoHeaderSize) return;

  const uint32_t w = static_cast<uint32_t>(h.biWidth), ht = static_cast<uint32_t>(h.biHeight) / 2;
  const uint64_t paletteColours = bits <= 8 ? (h.biClrUsed != 0 ? h.biClrUsed : uint64_t{1} << bits) : 0;
  const uint64_t colourStart = headerAndPaletteLength(h);
  const uint64_t colourSize = rowSize(w, bits) * ht, maskSize = rowSize(w, 1) * ht;
  if (!rangeFits(colourStart, colourSize, block.size())) {
    add("block-short", Level::Error,
        "the block holds " + std::to_string(block.size()) +
            " bytes where its header, palette and pixels need " + std::to_string(colourStart + colourSize) +
            ": Windows shows nothing for this image");
    return;
  }
  const bool maskPresent = rangeFits(colourStart + colourSize, maskSize, block.size());
  if (!maskPresent)
    add("mask-short", Level::Error,
        "the block ends inside its transparency mask (" +
            std::to_string(block.size() - colourStart - colourSize) + " of " + std::to_string(maskSize) +
            " bytes): readers that check a block's length refuse the image, others take the missing part "
            "as opaque");
  const BlockPixels p(block, h, w, ht, bits, paletteColours, maskPresent);

  uint64_t beyondPalette = 0, maskedColoured = 0, maskedCount = 0;
  bool alphaZero = bits == 32;
  for (uint32_t y = 0; y < ht; ++y)
    for (uint32_t x = 0; x < w; ++x) {
      if (bits <= 8 && p.index(x, y) >= paletteColours) ++beyondPalette;
      if (bits == 32 && p.alpha(x, y) != 0) alphaZero = false;
      if (p.masked(x, y)) {
        ++maskedCount;
        if (p.rgb(x, y) != 0) ++maskedColoured;
      }
    }

  if (beyondPalette > 0)
    add("palette-index", Level::Error,
        pixels(beyondPalette) + " use palette indexes beyond the " + std::to_string(paletteColours) +
            " colours of the palette: readers show them black, in another colour, or refuse the image");
  if (alphaZero)
    add("alpha-zero", Level::Error,
        std::string("the 32-bit image's alpha is 0 everywhere: Windows ignores it and draws the image ") +
            (maskedCount > 0 ? "through its mask" : "as an opaque square") +
            ", readers that trust the alpha show nothing at all");
  // The mask counts only where Windows uses it: without alpha.
  if (bits == 32 && !alphaZero) return;
  if (maskedColoured > 0 && !cursor)
    add("mask-colour", Level::Warning,
        pixels(maskedColoured) +
            " under set mask bits are not black: Windows inverts the screen behind them, other readers "
            "show them transparent");
  uint32_t background = 0;
  if (maskedCount == 0 && bits < 32 && hasPlainBackground(p, w, ht, background))
    add("mask-empty", Level::Warning,
        "the mask marks no pixel transparent, yet the image has a plain background (" +
            hexColour(background) +
            " all around its edge): Windows draws that background as an opaque square");
}

}  // namespace icofmt::lint
