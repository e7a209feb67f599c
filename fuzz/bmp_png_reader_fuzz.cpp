// Any bytes through the BMP readers and the PNG decoder with SplitPng.
#include <cstdint>
#include <vector>

#include "base/errors.h"
#include "base/stream.h"
#include "pixels/bmp_codec.h"
#include "pixels/png_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace icofmt;
  std::vector<uint8_t> bytes(data, data + size);
  try {
    TMemoryStream in(bytes);
    TBitmapFix32 bmp;
    bmp.LoadFromStream(in);
    TMemoryStream out;
    bmp.SaveToStream(out);
  } catch (const Error&) {
    // A bad bitmap is reported to the caller.
  }
  try {
    TMemoryStream in(bytes);
    TBitmap bmp;
    bmp.LoadFromStream(in);
  } catch (const Error&) {
  }
  try {
    PngImage png;
    png.LoadFromMemory(bytes);
    TBitmap colour, mask;
    SplitPng(png, colour, mask, 80);
  } catch (const Error&) {
  }
  return 0;
}
