#pragma once
// icohost check: the linter's findings for icon files, for people and tools.
#include <string>
#include <vector>

namespace icofmt::icohost {

// Checks each file and prints its findings: one line each, or with json one
// JSON object per file and line. A file that cannot be read is an error of
// its own. Reads only. Returns 1 when any file has an error, else 0.
int checkFiles(const std::vector<std::string>& files, bool json);

}  // namespace icofmt::icohost
