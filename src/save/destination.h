#pragma once
// The destination of a save. At OptionsFinish the existing destination file
// and its path are parked in the temporary folder; at WritePrepare they are
// taken back when at most 4 seconds old, since a host may unload the module
// between the two. Without a fresh copy the destination is found through the
// document's title.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"

namespace icofmt::save {

// The parked copy ("IcoTempSaveAs.ico") and its path ("IcoTempSaveAs.txt").
std::string parkedCopyPath(const std::string& tempFolder);
std::string parkedNamePath(const std::string& tempFolder);

// The clock and the file times the freshness rule reads.
struct TimeSource {
  platform::LocalTime (*now)();
  std::optional<platform::LocalTime> (*lastWriteTime)(const std::string& path);
};
TimeSource systemTimeSource();
// Installs the time source every later freshness test reads and returns the
// one it replaces, so that tests can set the clock and file times.
TimeSource setTimeSource(TimeSource source);

// Milliseconds from the last write, cut to the two seconds of a DOS date-time,
// to now. Negative when the file time lies ahead of the clock.
std::int64_t parkedCopyAgeMs(const platform::LocalTime& now, const platform::LocalTime& written);
// At most 4 seconds old, or written in the future.
bool parkedCopyFresh(const platform::LocalTime& now, const platform::LocalTime& written);

enum class ReadOutcome { Missing, Read, Failed };
// The whole file into out (replaced only on Read). A file larger than
// maxBytes, or one that cannot be read through, is Failed.
ReadOutcome readFileWithin(const std::string& path, std::uint64_t maxBytes, std::vector<std::uint8_t>& out);

enum class ParkOutcome { Parked, DestinationUnreadable, CopyNotCreated, NameNotCreated };
// OptionsFinish: copy takes the destination's bytes when the file exists (and
// keeps what it holds otherwise); then copy and destination are parked. A
// destination that exists but cannot be read is DestinationUnreadable and
// nothing is parked: going on would drop its images. CopyNotCreated and
// NameNotCreated cover a copy or path that cannot be written whole; nothing
// of either is left. Both files are private to this user.
ParkOutcome parkDestinationCopy(const std::string& tempFolder, const std::string& destination,
                                std::vector<std::uint8_t>& copy);

struct TakenBack {
  std::vector<std::uint8_t> copy;
  // The parked path (empty when its file held nothing).
  std::optional<std::string> path;
};
// WritePrepare: the parked copy when it is fresh and parked with its path.
// currentDestination is the destination of this save; a copy parked for any
// other path is stale, so that a save never merges the images of another
// file into this one. A copy parked without a name (the host named none)
// holds no bytes and is taken back as such.
std::optional<TakenBack> takeBackDestinationCopy(const std::string& tempFolder,
                                                 const std::string& currentDestination);

// A title handle's characters: up to the first NUL within size, never beyond.
std::string titleFromHandleBytes(const char* bytes, std::size_t size);
// The destination a document title names: blanks and control characters
// trimmed, the extension replaced by ".ico" (appended when there is none).
// An empty title names nothing.
std::string destinationFromTitle(std::string_view title);

// A destination whose name ends in ".cur" (any case) is saved as a cursor
// when it holds no images yet.
bool namesCursor(std::string_view path);
// The bytes are a cursor file: the header's type is 2.
bool isCursorFile(const std::vector<std::uint8_t>& bytes);

}  // namespace icofmt::save
