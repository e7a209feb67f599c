#include "platform/files.h"

#include <windows.h>

#include <algorithm>

namespace icofmt::platform {

namespace {

DWORD desiredAccess(FileAccess access) {
  switch (access) {
    case FileAccess::Read:
      return GENERIC_READ;
    case FileAccess::Write:
      return GENERIC_WRITE;
    case FileAccess::ReadWrite:
      break;
  }
  return GENERIC_READ | GENERIC_WRITE;
}

DWORD shareMode(FileShare share) {
  switch (share) {
    case FileShare::None:
      return 0;
    case FileShare::Read:
      return FILE_SHARE_READ;
    case FileShare::ReadWrite:
      break;
  }
  return FILE_SHARE_READ | FILE_SHARE_WRITE;
}

FileHandle open(const std::string& path, FileAccess access, FileShare share, DWORD disposition,
                DWORD flags = FILE_ATTRIBUTE_NORMAL) {
  HANDLE h = ::CreateFileA(path.c_str(), desiredAccess(access), shareMode(share), nullptr, disposition, flags,
                           nullptr);
  return h == INVALID_HANDLE_VALUE ? kInvalidFile : reinterpret_cast<FileHandle>(h);
}

HANDLE native(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

LocalTime fromSystemTime(const SYSTEMTIME& st) {
  return LocalTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
}

}  // namespace

FileHandle createFile(const std::string& path, FileAccess access, FileShare share) {
  return open(path, access, share, CREATE_ALWAYS);
}

FileHandle openFile(const std::string& path, FileAccess access, FileShare share) {
  return open(path, access, share, OPEN_EXISTING);
}

FileHandle createPrivateFile(const std::string& path, FileAccess access) {
  ::DeleteFileA(path.c_str());
  return open(path, access, FileShare::None, CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY);
}

FileHandle openPrivateFile(const std::string& path, FileAccess access) {
  // A reparse point is opened as itself, never followed, and refused.
  FileHandle file = open(path, access, FileShare::ReadWrite, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT);
  BY_HANDLE_FILE_INFORMATION info;
  if (file != kInvalidFile &&
      (!::GetFileInformationByHandle(native(file), &info) ||
       (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0 ||
       ::GetFileType(native(file)) != FILE_TYPE_DISK)) {
    ::CloseHandle(native(file));
    return kInvalidFile;
  }
  return file;
}

bool closeFile(FileHandle file) { return file > 0 && ::CloseHandle(native(file)) != 0; }

std::int64_t readFile(FileHandle file, void* buffer, std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count - done, 1u << 30));
    DWORD got = 0;
    if (!::ReadFile(native(file), static_cast<char*>(buffer) + done, chunk, &got, nullptr)) return -1;
    if (got == 0) break;
    done += got;
  }
  return static_cast<std::int64_t>(done);
}

std::int64_t writeFile(FileHandle file, const void* buffer, std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count - done, 1u << 30));
    DWORD put = 0;
    if (!::WriteFile(native(file), static_cast<const char*>(buffer) + done, chunk, &put, nullptr) || put == 0)
      return -1;
    done += put;
  }
  return static_cast<std::int64_t>(done);
}

std::int64_t seekFile(FileHandle file, std::int64_t offset, SeekOrigin origin) {
  DWORD method = origin == SeekOrigin::Begin     ? FILE_BEGIN
                 : origin == SeekOrigin::Current ? FILE_CURRENT
                                                 : FILE_END;
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  LARGE_INTEGER position;
  if (!::SetFilePointerEx(native(file), distance, &position, method)) return -1;
  return position.QuadPart;
}

std::int64_t fileSize(FileHandle file) {
  LARGE_INTEGER size;
  if (!::GetFileSizeEx(native(file), &size)) return -1;
  return size.QuadPart;
}

bool truncateFile(FileHandle file) { return ::SetEndOfFile(reinterpret_cast<HANDLE>(file)) != 0; }

bool fileExists(const std::string& path) {
  DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool deleteFile(const std::string& path) { return ::DeleteFileA(path.c_str()) != 0; }

std::optional<LocalTime> lastWriteTime(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  FILETIME local;
  SYSTEMTIME st;
  if (!::FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) || !::FileTimeToSystemTime(&local, &st))
    return std::nullopt;
  return fromSystemTime(st);
}

LocalTime localNow() {
  SYSTEMTIME st;
  ::GetLocalTime(&st);
  return fromSystemTime(st);
}

}  // namespace icofmt::platform
