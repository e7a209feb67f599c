#pragma once
// What other readers of an icon will stumble on. Our readers skip or
// normalise what they cannot use without a word; the linter names each such
// fault with a stable code, so that a user can fix an icon before shipping it.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace icofmt::lint {

// Error: some reader fails or shows the icon wrongly. Warning: some reader
// or some size looks bad. Note: worth knowing.
enum class Level { Error, Warning, Note };

struct Finding {
  std::string code;  // stable, for tools: "png-format", "entry-size", ...
  Level level = Level::Error;
  int image = 0;  // the directory entry from 1; 0 for the file as a whole
  std::string message;
  bool operator==(const Finding&) const = default;
};

const char* levelName(Level level);

// Every finding of the icon or cursor file whose bytes are given, in the
// order of the file. fileName is the name it goes by (only its last part
// counts). Takes any bytes: only running out of memory throws. Decodes no
// more than the container reader would (limits::kContainerDecodedMax), each
// distinct block once.
std::vector<Finding> checkIcon(std::span<const uint8_t> bytes, const std::string& fileName);

}  // namespace icofmt::lint
