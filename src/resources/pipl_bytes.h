#pragma once
// The property list of pipl.h as bytes, read the way the resource compiler
// reads it, so that the POSIX module carries the same bytes as the DLLs.
#include <array>
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "resources/pipl.h"

namespace icofmt::resources {

namespace detail {

template <class T>
struct PiplItem;
template <>
struct PiplItem<int> {
  static constexpr std::size_t size = 2;
};
template <>
struct PiplItem<long> {
  static constexpr std::size_t size = 4;
};
template <std::size_t N>
struct PiplItem<char[N]> {
  static constexpr std::size_t size = N - 1;  // no terminator
};

template <std::size_t Size>
struct PiplWriter {
  std::array<std::uint8_t, Size> bytes{};
  std::size_t at = 0;

  constexpr void put(int word) { putLittleEndian(static_cast<std::uint32_t>(word), 2); }
  constexpr void put(long value) { putLittleEndian(static_cast<std::uint32_t>(value), 4); }
  template <std::size_t N>
  constexpr void put(const char (&text)[N]) {
    for (std::size_t i = 0; i + 1 < N; ++i) bytes[at++] = static_cast<std::uint8_t>(text[i]);
  }
  constexpr void putLittleEndian(std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i) bytes[at++] = static_cast<std::uint8_t>(value >> (8 * i));
  }
};

template <class... Items>
constexpr auto piplBytes(const Items&... items) {
  PiplWriter<(PiplItem<std::remove_cvref_t<Items>>::size + ...)> writer;
  (writer.put(items), ...);
  return writer.bytes;
}

}  // namespace detail

inline constexpr auto kPiplX86 = detail::piplBytes(ICOFMT_PIPL(ICOFMT_PIPL_KEY_X86));
inline constexpr auto kPiplX64 = detail::piplBytes(ICOFMT_PIPL(ICOFMT_PIPL_KEY_X64));
static_assert(kPiplX86.size() == 268 && kPiplX64.size() == 268);

}  // namespace icofmt::resources
