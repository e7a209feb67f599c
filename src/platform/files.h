#pragma once
// Files as the module uses them. A FileHandle is what the host's dataFork
// carries: a HANDLE on Windows, a descriptor on POSIX; failures give
// kInvalidFile, which is never greater than 0.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace icofmt::platform {

using FileHandle = std::intptr_t;
constexpr FileHandle kInvalidFile = -1;

enum class FileAccess { Read, Write, ReadWrite };
// Who else may open the file while we hold it. POSIX has no mandatory share
// modes; there the value is accepted and not enforced.
enum class FileShare { None, Read, ReadWrite };
enum class SeekOrigin { Begin, Current, End };

// Creates the file anew, truncating an existing one.
FileHandle createFile(const std::string& path, FileAccess access, FileShare share);
// Opens an existing file.
FileHandle openFile(const std::string& path, FileAccess access, FileShare share);
// A temporary file of the module's own: any file of that name is removed,
// then the file is created exclusively, never through a link, for its user
// alone (0600; CREATE_NEW, not shared, on Windows).
FileHandle createPrivateFile(const std::string& path, FileAccess access);
// One of those opened again: a regular file of ours, never through a link,
// so that nothing planted in its place (a link, a FIFO) is read.
FileHandle openPrivateFile(const std::string& path, FileAccess access);
bool closeFile(FileHandle file);
// Byte counts actually moved, or -1 on failure.
std::int64_t readFile(FileHandle file, void* buffer, std::size_t count);
std::int64_t writeFile(FileHandle file, const void* buffer, std::size_t count);
// New position, or -1 on failure.
std::int64_t seekFile(FileHandle file, std::int64_t offset, SeekOrigin origin);
std::int64_t fileSize(FileHandle file);
// Ends the file at the current position.
bool truncateFile(FileHandle file);

bool fileExists(const std::string& path);
bool deleteFile(const std::string& path);

// Whole-file helpers; a missing or unreadable file gives nullopt / false.
std::optional<std::vector<std::uint8_t>> readWholeFile(const std::string& path);
bool writeWholeFile(const std::string& path, std::span<const std::uint8_t> bytes);
// The same through createPrivateFile; a file that cannot be written whole is
// removed.
bool writePrivateFile(const std::string& path, std::span<const std::uint8_t> bytes);

// A moment in the local time zone.
struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};
std::optional<LocalTime> lastWriteTime(const std::string& path);
LocalTime localNow();

}  // namespace icofmt::platform
