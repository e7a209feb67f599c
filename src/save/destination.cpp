#include "save/destination.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "base/limits.h"

namespace icofmt::save {

namespace {

constexpr std::int64_t kFreshMs = 4000;
// A parked path is one the host handed over: at most a length-prefixed
// string, but a host of long paths may come; far more is not a path.
constexpr std::uint64_t kParkedNameMax = limits::kTitleMax + 1;

TimeSource gTimeSource = systemTimeSource();

// Days from 1970-01-01 of a proleptic Gregorian date.
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

std::int64_t toMs(const platform::LocalTime& t) {
  const std::int64_t days = daysFromCivil(t.year, static_cast<unsigned>(std::clamp(t.month, 1, 12)),
                                          static_cast<unsigned>(std::clamp(t.day, 1, 31)));
  return ((days * 24 + t.hour) * 60 + t.minute) * 60000 + std::int64_t{t.second} * 1000 + t.millisecond;
}

ReadOutcome readOpened(platform::FileHandle file, std::uint64_t maxBytes, std::vector<std::uint8_t>& out) {
  if (file == platform::kInvalidFile) return ReadOutcome::Failed;
  ReadOutcome outcome = ReadOutcome::Failed;
  const std::int64_t size = platform::fileSize(file);
  if (size >= 0 && static_cast<std::uint64_t>(size) <= maxBytes) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    std::size_t done = 0;
    while (done < bytes.size()) {
      const std::int64_t got = platform::readFile(file, bytes.data() + done, bytes.size() - done);
      if (got <= 0) break;
      done += static_cast<std::size_t>(got);
    }
    if (done == bytes.size()) {
      out = std::move(bytes);
      outcome = ReadOutcome::Read;
    }
  }
  platform::closeFile(file);
  return outcome;
}

// The parked files are our own: nothing planted in their place is read.
ReadOutcome readParked(const std::string& path, std::uint64_t maxBytes, std::vector<std::uint8_t>& out) {
  if (!platform::fileExists(path)) return ReadOutcome::Missing;
  return readOpened(platform::openPrivateFile(path, platform::FileAccess::Read), maxBytes, out);
}

bool isBlankOrControl(char c) { return static_cast<unsigned char>(c) <= ' '; }

}  // namespace

std::string parkedCopyPath(const std::string& tempFolder) { return tempFolder + "IcoTempSaveAs.ico"; }
std::string parkedNamePath(const std::string& tempFolder) { return tempFolder + "IcoTempSaveAs.txt"; }

TimeSource systemTimeSource() { return {platform::localNow, platform::lastWriteTime}; }

TimeSource setTimeSource(TimeSource source) {
  TimeSource previous = gTimeSource;
  gTimeSource = source;
  return previous;
}

std::int64_t parkedCopyAgeMs(const platform::LocalTime& now, const platform::LocalTime& written) {
  platform::LocalTime dos = written;
  dos.second -= dos.second % 2;
  dos.millisecond = 0;
  return toMs(now) - toMs(dos);
}

bool parkedCopyFresh(const platform::LocalTime& now, const platform::LocalTime& written) {
  return parkedCopyAgeMs(now, written) <= kFreshMs;
}

ReadOutcome readFileWithin(const std::string& path, std::uint64_t maxBytes, std::vector<std::uint8_t>& out) {
  if (path.empty() || !platform::fileExists(path)) return ReadOutcome::Missing;
  return readOpened(platform::openFile(path, platform::FileAccess::Read, platform::FileShare::ReadWrite),
                    maxBytes, out);
}

ParkOutcome parkDestinationCopy(const std::string& tempFolder, const std::string& destination,
                                std::vector<std::uint8_t>& copy) {
  if (readFileWithin(destination, limits::kDestinationFileMax, copy) == ReadOutcome::Failed)
    return ParkOutcome::DestinationUnreadable;
  if (!platform::writePrivateFile(parkedCopyPath(tempFolder), copy)) return ParkOutcome::CopyNotCreated;
  std::vector<std::uint8_t> name(destination.begin(), destination.end());
  name.push_back(0);
  // A copy without its path is never taken back, and the host truncates the
  // destination next: better no save than one that drops its images.
  if (!platform::writePrivateFile(parkedNamePath(tempFolder), name)) {
    platform::deleteFile(parkedCopyPath(tempFolder));
    return ParkOutcome::NameNotCreated;
  }
  return ParkOutcome::Parked;
}

std::optional<TakenBack> takeBackDestinationCopy(const std::string& tempFolder,
                                                 const std::string& currentDestination) {
  const std::string copyPath = parkedCopyPath(tempFolder);
  if (!platform::fileExists(copyPath)) return std::nullopt;
  const auto written = gTimeSource.lastWriteTime(copyPath);
  if (!written || !parkedCopyFresh(gTimeSource.now(), *written)) return std::nullopt;
  TakenBack back;
  if (readParked(copyPath, limits::kDestinationFileMax, back.copy) != ReadOutcome::Read) return std::nullopt;
  std::vector<std::uint8_t> name;
  // Without its path a copy could belong to any destination.
  if (readParked(parkedNamePath(tempFolder), kParkedNameMax, name) != ReadOutcome::Read) return std::nullopt;
  if (name.empty()) back.copy.clear();
  back.path = titleFromHandleBytes(reinterpret_cast<const char*>(name.data()), name.size());
  if (!back.path->empty() && *back.path != currentDestination) return std::nullopt;
  return back;
}

std::string titleFromHandleBytes(const char* bytes, std::size_t size) {
  if (bytes == nullptr) return {};
  const void* nul = std::memchr(bytes, 0, size);
  return std::string(bytes, nul != nullptr ? static_cast<const char*>(nul) : bytes + size);
}

std::string destinationFromTitle(std::string_view title) {
  while (!title.empty() && isBlankOrControl(title.front())) title.remove_prefix(1);
  while (!title.empty() && isBlankOrControl(title.back())) title.remove_suffix(1);
  if (title.empty()) return {};
  const std::size_t dot = title.find_last_of(".\\/:");
  std::string name(title);
  if (dot != std::string_view::npos && title[dot] == '.') name.resize(dot);
  return name + ".ico";
}

bool namesCursor(std::string_view path) {
  if (path.size() < 4) return false;
  const std::string_view ending = path.substr(path.size() - 4);
  const char cur[] = ".cur";
  for (std::size_t i = 0; i < 4; ++i)
    if (std::tolower(static_cast<unsigned char>(ending[i])) != cur[i]) return false;
  return true;
}

bool isCursorFile(const std::vector<std::uint8_t>& bytes) {
  return bytes.size() >= 4 && bytes[0] == 0 && bytes[1] == 0 && bytes[2] == 2 && bytes[3] == 0;
}

}  // namespace icofmt::save
