#include "pixels/palettes.h"

#include <algorithm>

namespace icofmt {

const std::array<Colour, 2> StandardPalette2 = {kBlack, kWhite};

const std::array<Colour, 16> StandardPalette16 = {
    0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000, 0x808080,
    0xC0C0C0, 0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF,
};

const std::array<Colour, 256> DefaultPalette256 = {
    0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000, 0xC0C0C0,  // 0-7
    0x808080, 0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF,  // 8-15
    0x090909, 0x121212, 0x1F1F1F, 0x2C2C2C, 0x393939, 0x454545, 0x525252, 0x5F5F5F,  // 16-23
    0x6C6C6C, 0x787878, 0x858585, 0x929292, 0x9F9F9F, 0xABABAB, 0xB8B8B8, 0xC5C5C5,  // 24-31
    0xD2D2D2, 0xDEDEDE, 0xEBEBEB, 0xF8F8F8, 0xF0FBFF, 0xA4A0A0, 0xC0DCC0, 0xF0CAA6,  // 32-39
    0x00003E, 0x00005D, 0x00007C, 0x00009B, 0x0000BA, 0x0000D9, 0x0000F0, 0x2424FF,  // 40-47
    0x4848FF, 0x6C6CFF, 0x9090FF, 0xB4B4FF, 0x00143E, 0x001E5D, 0x00287C, 0x00329B,  // 48-55
    0x003CBA, 0x0046D9, 0x0055F0, 0x246DFF, 0x4885FF, 0x6C9DFF, 0x90B5FF, 0xB4CDFF,  // 56-63
    0x002A3E, 0x003F5D, 0x00547C, 0x00699B, 0x007EBA, 0x0093D9, 0x00AAF0, 0x24B6FF,  // 64-71
    0x48C2FF, 0x6CCEFF, 0x90DAFF, 0xB4E6FF, 0x003E3E, 0x005D5D, 0x007C7C, 0x009B9B,  // 72-79
    0x00BABA, 0x00D9D9, 0x00F0F0, 0x24FFFF, 0x48FFFF, 0x6CFFFF, 0x90FFFF, 0xB4FFFF,  // 80-87
    0x003E2A, 0x005D3F, 0x007C54, 0x009B69, 0x00BA7E, 0x00D993, 0x00F0AA, 0x24FFB6,  // 88-95
    0x48FFC2, 0x6CFFCE, 0x90FFDA, 0xB4FFE6, 0x003E14, 0x005D1E, 0x007C28, 0x009B32,  // 96-103
    0x00BA3C, 0x00D946, 0x00F055, 0x24FF6D, 0x48FF85, 0x6CFF9D, 0x90FFB5, 0xB4FFCD,  // 104-111
    0x003E00, 0x005D00, 0x007C00, 0x009B00, 0x00BA00, 0x00D900, 0x00F000, 0x24FF24,  // 112-119
    0x48FF48, 0x6CFF6C, 0x90FF90, 0xB4FFB4, 0x143E00, 0x1E5D00, 0x287C00, 0x329B00,  // 120-127
    0x3CBA00, 0x46D900, 0x55F000, 0x6DFF24, 0x85FF48, 0x9DFF6C, 0xB5FF90, 0xCDFFB4,  // 128-135
    0x2A3E00, 0x3F5D00, 0x547C00, 0x699B00, 0x7EBA00, 0x93D900, 0xAAF000, 0xB6FF24,  // 136-143
    0xC2FF48, 0xCEFF6C, 0xDAFF90, 0xE6FFB4, 0x3E3E00, 0x5D5D00, 0x7C7C00, 0x9B9B00,  // 144-151
    0xBABA00, 0xD9D900, 0xF0F000, 0xFFFF24, 0xFFFF48, 0xFFFF6C, 0xFFFF90, 0xFFFFB4,  // 152-159
    0x3E2A00, 0x5D3F00, 0x7C5400, 0x9B6900, 0xBA7E00, 0xD99300, 0xF0AA00, 0xFFB624,  // 160-167
    0xFFC248, 0xFFCE6C, 0xFFDA90, 0xFFE6B4, 0x3E1400, 0x5D1E00, 0x7C2800, 0x9B3200,  // 168-175
    0xBA3C00, 0xD94600, 0xF05500, 0xFF6D24, 0xFF8548, 0xFF9D6C, 0xFFB590, 0xFFCDB4,  // 176-183
    0x3E0000, 0x5D0000, 0x7C0000, 0x9B0000, 0xBA0000, 0xD90000, 0xF00000, 0xFF2424,  // 184-191
    0xFF4848, 0xFF6C6C, 0xFF9090, 0xFFB4B4, 0x3E0014, 0x5D001E, 0x7C0028, 0x9B0032,  // 192-199
    0xBA003C, 0xD90046, 0xF00055, 0xFF246D, 0xFF4885, 0xFF6C9D, 0xFF90B5, 0xFFB4CD,  // 200-207
    0x3E002A, 0x5D003F, 0x7C0054, 0x9B0069, 0xBA007E, 0xD90093, 0xF000AA, 0xFF24B6,  // 208-215
    0xFF48C2, 0xFF6CCE, 0xFF90DA, 0xFFB4E6, 0x3E003E, 0x5D005D, 0x7C007C, 0x9B009B,  // 216-223
    0xBA00BA, 0xD900D9, 0xF000F0, 0xFF24FF, 0xFF48FF, 0xFF6CFF, 0xFF90FF, 0xFFB4FF,  // 224-231
    0x2A003E, 0x3F005D, 0x54007C, 0x69009B, 0x7E00BA, 0x9300D9, 0xAA00F0, 0xB624FF,  // 232-239
    0xC248FF, 0xCE6CFF, 0xDA90FF, 0xE6B4FF, 0x14003E, 0x1E005D, 0x28007C, 0x32009B,  // 240-247
    0x3C00BA, 0x4600D9, 0x5500F0, 0x6D24FF, 0x8548FF, 0x9D6CFF, 0xB590FF, 0xCDB4FF,  // 248-255
};

ColourList standardPalette2List() { return ColourList(StandardPalette2.begin(), StandardPalette2.end()); }
ColourList standardPalette16List() { return ColourList(StandardPalette16.begin(), StandardPalette16.end()); }
ColourList defaultPalette256List() { return ColourList(DefaultPalette256.begin(), DefaultPalette256.end()); }

bool IsStandardColour(Colour c) {
  return std::find(StandardPalette16.begin(), StandardPalette16.end(), c) != StandardPalette16.end();
}

int NearestColourIndex(const ColourList& list, Colour c) {
  uint32_t best = 16777215;
  int index = -1;
  for (size_t i = 0; i < list.size(); ++i) {
    uint32_t d = squaredDistance(list[i], c);
    if (d < best) {
      best = d;
      index = static_cast<int>(i);
    }
  }
  return index;
}

bool EnsureBlackAndWhite(ColourList& list) {
  bool changed = false;
  for (Colour wanted : {kWhite, kBlack}) {
    if (std::find(list.begin(), list.end(), wanted) != list.end()) continue;
    int i = NearestColourIndex(list, wanted);
    if (i < 0) continue;
    list[static_cast<size_t>(i)] = wanted;
    changed = true;
  }
  return changed;
}

void FillFromDefaultPalette(ColourList& list, int length) {
  size_t next = list.size();
  list.resize(static_cast<size_t>(std::max(length, 0)), kBlack);
  for (Colour c : DefaultPalette256) {
    if (next >= list.size()) break;
    if (std::find(list.begin(), list.end(), c) == list.end()) list[next++] = c;
  }
}

void CompletePalette(TBitmap& dst, const ColourList& sourcePalette, bool ensureBlackAndWhite) {
  if (!dst.Paletted() || dst.Bits() == 0) return;
  int capacity = static_cast<int>(ColourCapacity(dst.Format()));
  ColourList list(sourcePalette.begin(), sourcePalette.begin() + std::min<size_t>(sourcePalette.size(), 256));
  if (static_cast<int>(list.size()) < capacity)
    FillFromDefaultPalette(list, capacity);
  else
    list.resize(static_cast<size_t>(capacity));
  if (ensureBlackAndWhite) EnsureBlackAndWhite(list);
  ApplyPalette(dst, list);
}

void ApplyPalette(TBitmap& bmp, const ColourList& list) {
  if (!bmp.Paletted() || bmp.Bits() == 0) return;
  bmp.SetPalette(list);
}

void ApplyDefaultPalette(TBitmap& bmp) {
  switch (bmp.Format()) {
    case PixelFormat::Bits1:
      ApplyPalette(bmp, standardPalette2List());
      break;
    case PixelFormat::Bits4:
      ApplyPalette(bmp, standardPalette16List());
      break;
    case PixelFormat::Bits8:
      ApplyPalette(bmp, defaultPalette256List());
      break;
    default:
      break;
  }
}

void ApplyStandardPalette2(TBitmap& bmp) { ApplyPalette(bmp, standardPalette2List()); }
void ApplyStandardPalette16(TBitmap& bmp) { ApplyPalette(bmp, standardPalette16List()); }

void ReplacePaletteEntries(TBitmap& bmp, const Colour* colours, int count) {
  if (!bmp.Paletted() || bmp.Bits() == 0 || bmp.Palette().empty() || count <= 0) return;
  ColourList list = bmp.Palette();
  size_t n = std::min<size_t>(static_cast<size_t>(count), static_cast<size_t>(ColourCapacity(bmp.Format())));
  if (list.size() < n) list.resize(n, kBlack);
  std::copy(colours, colours + n, list.begin());
  bmp.SetPalette(list);
}

}  // namespace icofmt
