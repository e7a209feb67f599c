// The host's side of a save: hostile parameter blocks from OptionsPrepare to
// WriteFinish. The bytes choose the image mode, size and planes, the title
// the host answers (any length and content, or a refusal), and every block
// delivered at WriteContinue: its rectangle, planes, row count and buffer
// (null, or exactly as long as the rectangle says, as a host's is); the rest
// is the destination icon.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

#include "module_driver.h"
#include "platform/files.h"
#include "platform/scripted.h"
#include "save/capture.h"
#include "sdk/callbacks.h"
#include "sdk/selectors.h"

namespace {

using namespace icofmt;

class Bytes {
 public:
  Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  std::uint8_t u8() { return at_ < size_ ? data_[at_++] : 0; }
  std::int16_t i16() { return static_cast<std::int16_t>(u8() | (u8() << 8)); }
  std::vector<std::uint8_t> take(size_t n) {
    n = std::min(n, size_ - at_);
    std::vector<std::uint8_t> out(data_ + at_, data_ + at_ + n);
    at_ += n;
    return out;
  }
  std::vector<std::uint8_t> rest() { return take(size_ - at_); }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// The title the host answers: one handle at a time, exactly its bytes.
struct TitleHost {
  std::vector<char> text;
  bool refuse = false;
  std::unique_ptr<char[]> bytes;
  char* handle = nullptr;
  int live = 0;
};
TitleHost title;

sdk::OSErr getProperty(sdk::PIType, sdk::PIType, std::int32_t, std::intptr_t*, sdk::Handle* complex) {
  if (title.refuse || complex == nullptr) return -1;
  title.bytes = std::make_unique<char[]>(title.text.size() + 1);
  std::copy(title.text.begin(), title.text.end(), title.bytes.get());
  title.handle = title.bytes.get();
  ++title.live;
  *complex = reinterpret_cast<sdk::Handle>(&title.handle);
  return sdk::noErr;
}
std::int32_t handleSize(sdk::Handle) { return static_cast<std::int32_t>(title.text.size()); }
sdk::Ptr lockHandle(sdk::Handle h, sdk::Boolean) { return *reinterpret_cast<char**>(h); }
void unlockHandle(sdk::Handle) {}
void disposeHandle(sdk::Handle h) {
  if (h != reinterpret_cast<sdk::Handle>(&title.handle) || title.live != 1) __builtin_trap();
  --title.live;
  title.bytes.reset();
}
sdk::Handle newHandle(std::int32_t) { return nullptr; }

struct Shape {
  sdk::Rect rect{};
  std::int16_t loPlane = 0, hiPlane = 0;
  std::uint8_t flags = 0;
  std::int16_t rows = 0;
};

Shape readShape(Bytes& in) {
  Shape s;
  s.rect = {in.i16(), in.i16(), in.i16(), in.i16()};
  s.loPlane = in.u8();
  s.hiPlane = static_cast<std::int16_t>(s.loPlane + (in.u8() & 15));
  s.flags = in.u8();
  if (s.flags & 1) s.rows = in.i16();
  return s;
}

void deliver(const Shape& s, sdk::FormatRecord& block, std::vector<std::uint8_t>& buffer) {
  block.theRect = s.rect;
  block.loPlane = s.loPlane;
  block.hiPlane = s.hiPlane;
  if (s.flags & 1) block.imageSize.v = s.rows;
  save::DeliveredBlock shape;
  shape.top = s.rect.top;
  shape.left = s.rect.left;
  shape.bottom = s.rect.bottom;
  shape.right = s.rect.right;
  shape.loPlane = s.loPlane;
  shape.hiPlane = s.hiPlane;
  const std::uint64_t length = save::deliveredBlockLength(shape, static_cast<std::uint8_t>(block.imageMode));
  // No host hands over more than a whole image of the largest kind.
  buffer.assign(std::min<std::uint64_t>(length, 256 * 256 * 16), static_cast<std::uint8_t>(s.flags));
  block.data = (s.flags & 2) || buffer.empty() ? nullptr : buffer.data();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Bytes in(data, size);
  fuzz::freshOperation();
  platform::scripted::setConfirmUnscripted(true);

  sdk::FormatRecord block{};
  block.imageMode = in.u8() & 15;
  block.imageSize = {in.i16(), in.i16()};
  block.planes = in.i16();
  const std::uint8_t flags = in.u8();
  const bool plainSave = flags & 1;
  const int blocks = in.u8() & 31;
  title.refuse = flags & 2;
  const std::vector<std::uint8_t> text = in.take(in.u8() | ((flags & 4) ? 0x7f00 : 0));
  title.text.assign(text.begin(), text.end());
  for (int i = 0; i < 256; ++i)
    block.redLUT[i] = block.greenLUT[i] = block.blueLUT[i] = static_cast<uint8_t>(i);

  sdk::HandleProcs handles{};
  handles.numHandleProcs = (flags & 8) ? 2 : 8;
  handles.newProc = newHandle;
  handles.disposeProc = disposeHandle;
  handles.getSizeProc = handleSize;
  handles.lockProc = lockHandle;
  handles.unlockProc = unlockHandle;
  sdk::PropertyProcs properties{};
  properties.numPropertyProcs = 1;
  properties.getPropertyProc = getProperty;
  block.handleProcs = &handles;
  block.propertyProcs = (flags & 16) ? nullptr : &properties;

  std::vector<Shape> shapes;
  for (int i = 0; i < blocks; ++i) shapes.push_back(readShape(in));
  const std::vector<std::uint8_t> destination = in.rest();
  const std::string path = fuzz::workFolder() + "dest.ico";
  if (!platform::writeWholeFile(path, destination)) return 0;
  const auto file = platform::openFile(path, platform::FileAccess::ReadWrite, platform::FileShare::Read);
  if (file == platform::kInvalidFile) return 0;
  sdk::FSSpec spec = fuzz::specOf(path);
  block.fileSpec = &spec;
  block.dataFork = static_cast<std::intptr_t>(file);

  std::vector<std::uint8_t> buffer;
  auto run = [&](std::int16_t prepare) {
    if (fuzz::call(prepare, &block) != 0) return false;
    if (fuzz::call(static_cast<std::int16_t>(prepare + 1), &block) != 0) return false;
    if (prepare == sdk::formatSelectorWritePrepare) {
      for (const Shape& shape : shapes) {
        deliver(shape, block, buffer);
        fuzz::call(sdk::formatSelectorWriteContinue, &block);
      }
    } else {
      fuzz::call(static_cast<std::int16_t>(prepare + 2), &block);
    }
    return fuzz::call(static_cast<std::int16_t>(prepare + 3), &block) == 0 ||
           prepare == sdk::formatSelectorWritePrepare;
  };
  if ((plainSave || run(sdk::formatSelectorOptionsPrepare)) && run(sdk::formatSelectorEstimatePrepare))
    run(sdk::formatSelectorWritePrepare);
  if (title.live != 0) __builtin_trap();  // every title handle is disposed of
  platform::closeFile(file);
  fuzz::freshOperation();
  return 0;
}
