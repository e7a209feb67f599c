#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

namespace icofmt::platform {

namespace {

int openFlags(FileAccess access) {
  switch (access) {
    case FileAccess::Read:
      return O_RDONLY;
    case FileAccess::Write:
      return O_WRONLY;
    case FileAccess::ReadWrite:
      break;
  }
  return O_RDWR;
}

LocalTime toLocal(std::time_t seconds, long nanoseconds) {
  std::tm tm{};
  localtime_r(&seconds, &tm);
  return LocalTime{tm.tm_year + 1900,
                   tm.tm_mon + 1,
                   tm.tm_mday,
                   tm.tm_hour,
                   tm.tm_min,
                   tm.tm_sec,
                   static_cast<int>(nanoseconds / 1000000)};
}

}  // namespace

FileHandle createFile(const std::string& path, FileAccess access, FileShare) {
  int fd = ::open(path.c_str(), openFlags(access) | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  return fd < 0 ? kInvalidFile : fd;
}

FileHandle openFile(const std::string& path, FileAccess access, FileShare) {
  int fd = ::open(path.c_str(), openFlags(access) | O_CLOEXEC);
  return fd < 0 ? kInvalidFile : fd;
}

FileHandle createPrivateFile(const std::string& path, FileAccess access) {
  ::unlink(path.c_str());
  int fd = ::open(path.c_str(), openFlags(access) | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  return fd < 0 ? kInvalidFile : fd;
}

FileHandle openPrivateFile(const std::string& path, FileAccess access) {
  // Non-blocking, so that a FIFO in its place cannot hold us at the open.
  int fd = ::open(path.c_str(), openFlags(access) | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return kInvalidFile;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::getuid() ||
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    ::close(fd);
    return kInvalidFile;
  }
  return fd;
}

bool closeFile(FileHandle file) { return file >= 0 && ::close(static_cast<int>(file)) == 0; }

std::int64_t readFile(FileHandle file, void* buffer, std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    ssize_t n = ::read(static_cast<int>(file), static_cast<char*>(buffer) + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return static_cast<std::int64_t>(done);
}

std::int64_t writeFile(FileHandle file, const void* buffer, std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    ssize_t n = ::write(static_cast<int>(file), static_cast<const char*>(buffer) + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return -1;
    done += static_cast<std::size_t>(n);
  }
  return static_cast<std::int64_t>(done);
}

std::int64_t seekFile(FileHandle file, std::int64_t offset, SeekOrigin origin) {
  int whence = origin == SeekOrigin::Begin ? SEEK_SET : origin == SeekOrigin::Current ? SEEK_CUR : SEEK_END;
  off_t pos = ::lseek(static_cast<int>(file), static_cast<off_t>(offset), whence);
  return pos < 0 ? -1 : static_cast<std::int64_t>(pos);
}

std::int64_t fileSize(FileHandle file) {
  struct stat st {};
  if (::fstat(static_cast<int>(file), &st) != 0) return -1;
  return static_cast<std::int64_t>(st.st_size);
}

bool truncateFile(FileHandle file) {
  off_t pos = ::lseek(static_cast<int>(file), 0, SEEK_CUR);
  return pos >= 0 && ::ftruncate(static_cast<int>(file), pos) == 0;
}

bool fileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool deleteFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

std::optional<LocalTime> lastWriteTime(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return toLocal(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
}

LocalTime localNow() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return toLocal(ts.tv_sec, ts.tv_nsec);
}

}  // namespace icofmt::platform
