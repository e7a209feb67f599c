#include "pixels/convert.h"

#include "pixels/alpha.h"
#include "pixels/palettes.h"
#include "pixels/reduce.h"

namespace icofmt {

void ConvertBitmap(const TBitmap& src, const TBitmap* srcMask, TBitmap& dst, TBitmap* dstMask,
                   PixelFormat target, int threshold, bool keepWhite) {
  const int w = src.Width(), h = src.Height();
  const PixelFormat from = src.Format();
  TBitmap out, mask;
  auto copyMask = [&] {
    if (srcMask)
      mask = *srcMask;
    else
      SetupOpaqueMask(mask, w, h);
  };
  auto drawInto = [&](PixelFormat f) {
    SetupBitmap(out, w, h, f);
    DrawBitmap(src, out);
  };

  if (target == from) {
    out = src;
    copyMask();
  } else {
    SetupOpaqueMask(mask, w, h);
    switch (target) {
      case PixelFormat::Bits8:
        if (from == PixelFormat::Bits32) {
          ReduceTo8Bit(src, out, true, threshold, 256);
          ApplyAlphaMask(src, out, mask, keepWhite, threshold);
        } else if (from == PixelFormat::Bits1 || from == PixelFormat::Bits4) {
          SetupBitmap(out, w, h, PixelFormat::Bits8);
          CompletePalette(out, src.Palette(), true);
          DrawBitmap(src, out);
          copyMask();
        } else {
          // ReduceTo8Bit reads any other source as its 24-bit colours.
          ReduceTo8Bit(src, out, true, threshold, 256);
          copyMask();
        }
        break;
      case PixelFormat::Bits32:
        MergeMask(src, srcMask, out);
        copyMask();
        break;
      default:  // 1, 4, 15, 16 and 24 bits
        if (from == PixelFormat::Bits32) {
          TBitmap colour;
          SplitAlpha(src, colour, &mask, keepWhite, threshold);
          if (target == PixelFormat::Bits24) {
            out = std::move(colour);
          } else {
            SetupBitmap(out, w, h, target);
            DrawBitmap(colour, out);
          }
        } else {
          drawInto(target);
          copyMask();
        }
        break;
    }
  }
  dst = std::move(out);
  if (dstMask) *dstMask = std::move(mask);
}

}  // namespace icofmt
