#pragma once
// icohost's command line: its usage text, its options and their parsing,
// shared by the program that runs the module (main.cpp) and, on POSIX, the
// lean program in front of it (front.cpp), which runs list and extract
// itself and hands every other command to the first.
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace icofmt::icohost {

extern const char* const kUsage;

struct Usage : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Options {
  std::string command;
  std::vector<std::string> files;
  std::string output;
  std::string module;
  std::optional<int> pick;
  std::optional<int> mode;
  std::optional<int> depthItem;
  bool add = false;
  std::optional<bool> png;
  std::vector<int> deletions;
  bool cancel = false;
  bool plainSave = false;
  bool inPlace = false;
  bool interactive = false;
  std::optional<std::string> title;
  bool all = false;
  bool json = false;
  std::optional<std::pair<int, int>> hotSpot;
  // --sizes as given, or one of its shorthands.
  std::vector<int> sizes;
  bool sizesShorthand = false;
  bool fit = false;
};

// A number from 1 to 65535, or Usage naming the flag.
int positive(const std::string& text, const char* flag);
// Throws Usage for anything the usage text does not allow.
Options parse(int argc, char** argv);
// Files the command reads must be regular files: opening a pipe waits for a
// writer for ever, and a device never ends. Throws naming the file.
void requireRegularFiles(const Options& o);

// The program's whole run: help, parsing, then list and extract (read
// directly, no module) or runModule for check, info, open and save; errors become
// the exit status (1, or 2 with the usage for a usage error) with a message.
int runCommandLine(int argc, char** argv, int (*runModule)(const Options&));

}  // namespace icofmt::icohost
