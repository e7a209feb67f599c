#include "platform/folders.h"

#include <windows.h>

namespace icofmt::platform {

std::string tempFolder() {
  char buffer[MAX_PATH + 1] = {};
  DWORD n = ::GetTempPathA(MAX_PATH + 1, buffer);
  if (n == 0 || n > MAX_PATH) return "C:\\";
  return std::string(buffer, n);
}

std::string privateFolder(const std::string& parent) { return parent; }

// The temporary folder itself is never removed.
void removeFolderIfEmpty(const std::string&) {}

std::string hostProgramFolder() {
  char buffer[MAX_PATH + 1] = {};
  DWORD n = ::GetModuleFileNameA(nullptr, buffer, MAX_PATH + 1);
  if (n == 0 || n > MAX_PATH) return {};
  std::string path(buffer, n);
  std::size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace icofmt::platform
