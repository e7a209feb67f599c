#pragma once
// Bounds-checked little-endian reading over a byte span. A short read throws
// the error given at construction, so parsers never index past their input.
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

#include "base/errors.h"

namespace icofmt {

class ByteReader {
 public:
  explicit ByteReader(std::span<const uint8_t> bytes, std::string shortReadMessage = "Invalid image")
      : bytes_(bytes), message_(std::move(shortReadMessage)) {}

  size_t position() const { return pos_; }
  size_t size() const { return bytes_.size(); }
  size_t remaining() const { return bytes_.size() - pos_; }

  void seek(size_t pos) {
    if (pos > bytes_.size()) fail();
    pos_ = pos;
  }
  void skip(size_t n) { take(n); }

  std::span<const uint8_t> take(size_t n) {
    if (n > remaining()) fail();
    auto out = bytes_.subspan(pos_, n);
    pos_ += n;
    return out;
  }
  uint8_t u8() { return take(1)[0]; }
  uint16_t u16le() {
    auto b = take(2);
    return static_cast<uint16_t>(b[0] | (b[1] << 8));
  }
  uint32_t u32le() {
    auto b = take(4);
    return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
           (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
  }
  int32_t i32le() { return static_cast<int32_t>(u32le()); }

 private:
  [[noreturn]] void fail() const { throw InvalidImage(message_); }

  std::span<const uint8_t> bytes_;
  size_t pos_ = 0;
  std::string message_;
};

inline uint16_t loadU16le(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t loadU32le(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
// PNG's fields are big-endian.
inline uint32_t loadU32be(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}
inline void storeU16le(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void storeU32le(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace icofmt
