#include "platform/folders.h"

#include <unistd.h>

#include <cstdlib>
#include <string>

namespace icofmt::platform {

std::string tempFolder() {
  const char* dir = std::getenv("TMPDIR");
  if (dir == nullptr || *dir == '\0') return "/tmp/";
  std::string folder = dir;
  if (folder.back() != '/') folder += '/';
  return folder;
}

std::string hostProgramFolder() {
  std::string path(4096, '\0');
  ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
  if (n <= 0 || static_cast<std::size_t>(n) >= path.size()) return {};
  path.resize(static_cast<std::size_t>(n));
  return path.substr(0, path.rfind('/') + 1);
}

}  // namespace icofmt::platform
