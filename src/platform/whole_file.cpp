// Whole-file helpers built on the backend's file calls.
#include <limits>

#include "platform/files.h"

namespace icofmt::platform {

std::optional<std::vector<std::uint8_t>> readWholeFile(const std::string& path) {
  FileHandle file = openFile(path, FileAccess::Read, FileShare::ReadWrite);
  if (file == kInvalidFile) return std::nullopt;
  std::optional<std::vector<std::uint8_t>> bytes;
  std::int64_t size = fileSize(file);
  if (size >= 0 && static_cast<std::uint64_t>(size) <= std::numeric_limits<std::size_t>::max() / 2) {
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(size));
    std::int64_t got = readFile(file, buffer.data(), buffer.size());
    if (got >= 0) {
      buffer.resize(static_cast<std::size_t>(got));
      bytes = std::move(buffer);
    }
  }
  closeFile(file);
  return bytes;
}

namespace {

bool writeAll(const std::string& path, FileHandle file, std::span<const std::uint8_t> bytes) {
  if (file == kInvalidFile) return false;
  bool ok = writeFile(file, bytes.data(), bytes.size()) == static_cast<std::int64_t>(bytes.size());
  ok = closeFile(file) && ok;
  if (!ok) deleteFile(path);
  return ok;
}

}  // namespace

bool writeWholeFile(const std::string& path, std::span<const std::uint8_t> bytes) {
  return writeAll(path, createFile(path, FileAccess::Write, FileShare::None), bytes);
}

bool writePrivateFile(const std::string& path, std::span<const std::uint8_t> bytes) {
  return writeAll(path, createPrivateFile(path, FileAccess::Write), bytes);
}

}  // namespace icofmt::platform
