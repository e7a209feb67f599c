#pragma once
// Reading a module's plug-in property list the way a host discovers it.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace icofmt::icohost {

struct PiplInfo {
  std::string kind;
  std::string name;
  std::uint32_t version = 0;
  // The entry point for this process's architecture ('8664' or 'wx86').
  std::string entry;
  std::uint8_t modes = 0;
  std::vector<std::string> readExtensions;
  std::vector<std::string> writeExtensions;
  std::uint8_t formatFlags = 0;
  int maxRows = 0, maxColumns = 0;
  std::vector<int> maxChannels;
};

// Nullopt when the bytes are no property list; properties of other vendors
// and unknown keys are skipped.
std::optional<PiplInfo> parsePipl(std::span<const std::uint8_t> bytes);

}  // namespace icofmt::icohost
