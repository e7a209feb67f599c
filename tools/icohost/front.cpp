// icohost on POSIX: the program a user runs. It reads icons for list and
// extract itself and hands open, save, info and check to icohost-host
// beside it. It links no shared C++ runtime and no platform
// library, so that a listing starts as fast as a C program: loading
// libstdc++ alone took longer than icotool's whole listing.
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "options.h"

namespace {

// The program beside this one, found through /proc/self/exe.
int runHost(char** argv) {
  char self[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) {
    std::fprintf(stderr, "icohost: cannot find its own program: %s\n", std::strerror(errno));
    return 1;
  }
  self[n] = 0;
  std::string host(self);
  host.erase(host.find_last_of('/') + 1);
  host += "icohost-host";
  execv(host.c_str(), argv);
  std::fprintf(stderr, "icohost: cannot run %s: %s\n", host.c_str(), std::strerror(errno));
  return 1;
}

int noModule(const icofmt::icohost::Options&) { return 1; }

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2) {
    const std::string command = argv[1];
    if (command == "open" || command == "save" || command == "info" || command == "check")
      return runHost(argv);
  }
  // Every other command is list, extract, help or a usage error.
  return icofmt::icohost::runCommandLine(argc, argv, noModule);
}
