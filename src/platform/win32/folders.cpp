#include "platform/folders.h"

#include <windows.h>

#include <cstdlib>

namespace icofmt::platform {

std::string tempFolder() {
  char buffer[MAX_PATH + 1] = {};
  DWORD n = ::GetTempPathA(MAX_PATH + 1, buffer);
  if (n == 0 || n > MAX_PATH) return "C:\\";
  return std::string(buffer, n);
}

namespace {

bool processAlive(DWORD pid) {
  HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (process == nullptr) return ::GetLastError() != ERROR_INVALID_PARAMETER;
  DWORD code = 0;
  const bool alive = !::GetExitCodeProcess(process, &code) || code == STILL_ACTIVE;
  ::CloseHandle(process);
  return alive;
}

// Folders of processes gone for an hour: what a crash left behind.
void sweep(const std::string& parent) {
  WIN32_FIND_DATAA found;
  HANDLE search = ::FindFirstFileA((parent + "icofmt-*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  const auto ticks = [](const FILETIME& t) { return (ULONGLONG{t.dwHighDateTime} << 32) | t.dwLowDateTime; };
  do {
    char* end = nullptr;
    const unsigned long pid = std::strtoul(found.cFileName + 7, &end, 10);
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || end == found.cFileName + 7 ||
        *end != '\0' || pid == ::GetCurrentProcessId() || processAlive(pid) ||
        ticks(now) - ticks(found.ftLastWriteTime) < 3600ull * 10000000ull)
      continue;
    const std::string folder = parent + found.cFileName + "\\";
    WIN32_FIND_DATAA inner;
    HANDLE files = ::FindFirstFileA((folder + "*").c_str(), &inner);
    if (files != INVALID_HANDLE_VALUE) {
      do {
        if ((inner.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
          ::DeleteFileA((folder + inner.cFileName).c_str());
      } while (::FindNextFileA(files, &inner));
      ::FindClose(files);
    }
    ::RemoveDirectoryA(folder.c_str());
  } while (::FindNextFileA(search, &found));
  ::FindClose(search);
}

}  // namespace

// The user's temporary folder is the user's own; a folder per process keeps
// two hosts from meeting in it.
std::string processFolder(const std::string& parent) {
  if (parent.empty()) return {};
  std::string folder = parent + "icofmt-" + std::to_string(::GetCurrentProcessId()) + "\\";
  static bool swept = false;
  if (!swept) {
    swept = true;
    sweep(parent);
  }
  ::CreateDirectoryA(folder.c_str(), nullptr);
  const DWORD attributes = ::GetFileAttributesA(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
    return {};
  return folder;
}

// The temporary folder itself stays.
void removeProcessFolder(std::string& folder) {
  if (!folder.empty()) ::RemoveDirectoryA(folder.c_str());
}

std::string hostProgramFolder() {
  char buffer[MAX_PATH + 1] = {};
  DWORD n = ::GetModuleFileNameA(nullptr, buffer, MAX_PATH + 1);
  if (n == 0 || n > MAX_PATH) return {};
  std::string path(buffer, n);
  std::size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace icofmt::platform
