#include "pipl_reader.h"

#include <algorithm>
#include <cstring>

#include "sdk/pipl_keys.h"

namespace icofmt::icohost {

namespace {

std::uint32_t le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
int le16(const std::uint8_t* p) { return static_cast<std::int16_t>(p[0] | (p[1] << 8)); }

std::string fourCC(std::uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
          static_cast<char>(v)};
}

std::string cString(const std::uint8_t* p, std::size_t n) {
  std::size_t len = 0;
  while (len < n && p[len] != 0) ++len;
  return std::string(reinterpret_cast<const char*>(p), len);
}

std::vector<std::string> extensions(const std::uint8_t* p, std::size_t n) {
  std::vector<std::string> out;
  for (std::size_t i = 0; i + 4 <= n; i += 4) {
    std::string e(reinterpret_cast<const char*>(p + i), 4);
    while (!e.empty() && (e.back() == ' ' || e.back() == '\0')) e.pop_back();
    if (!e.empty()) out.push_back(e);
  }
  return out;
}

}  // namespace

std::optional<PiplInfo> parsePipl(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < 10 || le16(bytes.data()) != 1) return std::nullopt;
  const std::uint32_t count = le32(bytes.data() + 6);
  const std::uint32_t entryKey = sizeof(void*) == 8 ? sdk::pipl::kCodeWin64X86 : sdk::pipl::kCodeWin32X86;
  PiplInfo info;
  std::size_t at = 10;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (bytes.size() - at < 16) return std::nullopt;
    const std::uint8_t* p = bytes.data() + at;
    const std::uint32_t vendor = le32(p), key = le32(p + 4), length = le32(p + 12);
    const std::size_t padded = (static_cast<std::size_t>(length) + 3) & ~std::size_t{3};
    if (length > bytes.size() || bytes.size() - at - 16 < padded) return std::nullopt;
    const std::uint8_t* d = p + 16;
    if (vendor == sdk::pipl::kVendor) {
      if (key == sdk::pipl::kKind && length >= 4) info.kind = fourCC(le32(d));
      if (key == sdk::pipl::kVersion && length >= 4) info.version = le32(d);
      if (key == sdk::pipl::kName && length >= 1)
        info.name =
            std::string(reinterpret_cast<const char*>(d + 1), std::min<std::size_t>(d[0], length - 1));
      if (key == entryKey) info.entry = cString(d, length);
      if (key == sdk::pipl::kSupportedModes && length >= 1) info.modes = d[0];
      if (key == sdk::pipl::kReadExtensions) info.readExtensions = extensions(d, length);
      if (key == sdk::pipl::kWriteExtensions) info.writeExtensions = extensions(d, length);
      if (key == sdk::pipl::kFormatFlags && length >= 1) info.formatFlags = d[0];
      if (key == sdk::pipl::kFormatMaxSize && length >= 4) {
        info.maxRows = le16(d);
        info.maxColumns = le16(d + 2);
      }
      if (key == sdk::pipl::kFormatMaxChannels)
        for (std::size_t k = 0; k + 2 <= length; k += 2) info.maxChannels.push_back(le16(d + k));
    }
    at += 16 + padded;
  }
  return info;
}

}  // namespace icofmt::icohost
