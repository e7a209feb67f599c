#include "platform/folders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace icofmt::platform {

std::string tempFolder() {
  const char* dir = std::getenv("TMPDIR");
  if (dir == nullptr || *dir == '\0') return "/tmp/";
  std::string folder = dir;
  if (folder.back() != '/') folder += '/';
  return folder;
}

std::string privateFolder(const std::string& parent) {
  if (parent.empty()) return {};
  // Every string is made before the folder, so that running out of memory
  // cannot leave a folder nobody knows of.
  std::string folder = parent + "icofmt-" + std::to_string(::getuid()) + "/";
  const std::string bare = folder.substr(0, folder.size() - 1);
  ::mkdir(bare.c_str(), 0700);
  // Whoever made it, it must be ours alone: a folder planted by another user,
  // or a link to one, would let them choose the code we load.
  struct stat st {};
  if (::lstat(bare.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
      (st.st_mode & 0077) != 0)
    return {};
  return folder;
}

void removeFolderIfEmpty(const std::string& folder) {
  if (!folder.empty()) ::rmdir(folder.c_str());
}

std::string hostProgramFolder() {
  std::string path(4096, '\0');
  ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
  if (n <= 0 || static_cast<std::size_t>(n) >= path.size()) return {};
  path.resize(static_cast<std::size_t>(n));
  return path.substr(0, path.rfind('/') + 1);
}

}  // namespace icofmt::platform
