#include "platform/folders.h"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <string>

namespace icofmt::platform {

namespace {

// A folder we may rely on: nobody but us or the system can replace it or
// anything below it. A folder others may write into is safe only with the
// sticky bit, which keeps them from renaming or removing our entries.
bool folderSafe(const struct stat& st) {
  if (!S_ISDIR(st.st_mode) || (st.st_uid != 0 && st.st_uid != ::getuid())) return false;
  return (st.st_mode & (S_IWGRP | S_IWOTH)) == 0 || (st.st_mode & S_ISVTX) != 0;
}

// Every folder from the root down to parent, links resolved.
bool pathSafe(const std::string& parent) {
  char resolved[PATH_MAX];
  if (::realpath(parent.c_str(), resolved) == nullptr) return false;
  const std::string path = resolved;
  struct stat st {};
  if (::lstat("/", &st) != 0 || !folderSafe(st)) return false;
  for (std::size_t end = 0; end != std::string::npos;) {
    end = path.find('/', end + 1);
    if (::lstat(path.substr(0, end).c_str(), &st) != 0 || !folderSafe(st)) return false;
  }
  return true;
}

// A real folder (no link) of ours that nobody else may enter.
bool ownPrivateFolder(const std::string& bare) {
  struct stat st {};
  return ::lstat(bare.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
         (st.st_mode & 0077) == 0;
}

// The fresh folder made when the usual one is taken; the platform library
// stays loaded for the whole process, so later operations find it again.
std::string gFallback;

std::string userFolder(const std::string& parent) {
  if (parent.empty() || !pathSafe(parent)) return {};
  const std::string bare = parent + "icofmt-" + std::to_string(::getuid());
  std::string folder = bare + "/";
  std::string pattern = bare + "-XXXXXX";
  ::mkdir(bare.c_str(), 0700);
  if (ownPrivateFolder(bare)) return folder;
  // Someone else made that name first, or left it open to others: a folder
  // of its own, so that they can neither block us nor reach our files.
  if (!gFallback.empty() && gFallback.compare(0, parent.size(), parent) == 0 &&
      ownPrivateFolder(gFallback.substr(0, gFallback.size() - 1)))
    return gFallback;
  if (::mkdtemp(pattern.data()) == nullptr) return {};
  try {
    gFallback = pattern + "/";
  } catch (...) {
    ::rmdir(pattern.c_str());
    throw;
  }
  return gFallback;
}

bool processAlive(long pid) { return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH; }

// Folders of processes gone for an hour: what a crash left behind. The age
// spares a process in another pid namespace that shares this folder.
void sweep(const std::string& user) {
  DIR* dir = ::opendir(user.c_str());
  if (dir == nullptr) return;
  const std::time_t now = std::time(nullptr);
  while (const dirent* entry = ::readdir(dir)) {
    char* end = nullptr;
    const long pid = std::strtol(entry->d_name, &end, 10);
    if (end == entry->d_name || *end != '\0' || pid <= 0 || pid == ::getpid() || processAlive(pid)) continue;
    const std::string folder = user + entry->d_name;
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || now - st.st_mtime < 3600) continue;
    if (DIR* inner = ::opendir(folder.c_str())) {
      while (const dirent* file = ::readdir(inner))
        if (file->d_name[0] != '.') ::unlink((folder + "/" + file->d_name).c_str());
      ::closedir(inner);
    }
    ::rmdir(folder.c_str());
  }
  ::closedir(dir);
}

}  // namespace

std::string tempFolder() {
  const char* dir = std::getenv("TMPDIR");
  if (dir == nullptr || *dir == '\0') return "/tmp/";
  std::string folder = dir;
  if (folder.back() != '/') folder += '/';
  return folder;
}

std::string processFolder(const std::string& parent) {
  std::string user, own;
  try {
    user = userFolder(parent);
    if (user.empty()) return {};
    own = user + std::to_string(::getpid());
    static bool swept = false;
    if (!swept) {
      swept = true;
      try {
        sweep(user);
      } catch (...) {
        // Sweeping is a courtesy; it never costs an operation.
      }
    }
    own += '/';
    // Another process of ours removes the user's folder when it leaves it
    // empty, maybe between our making it and making ours inside it.
    for (int attempt = 0; ::mkdir(own.c_str(), 0700) != 0 && errno == ENOENT && attempt < 8; ++attempt)
      if (userFolder(parent) != user) return {};
    if (!ownPrivateFolder(own.substr(0, own.size() - 1))) return {};
    return own;
  } catch (...) {
    // Running out of memory half-way leaves no folder nobody knows of.
    if (!own.empty()) ::rmdir(own.c_str());
    if (!user.empty()) ::rmdir(user.c_str());
    throw;
  }
}

void removeProcessFolder(std::string& folder) {
  if (folder.size() < 2) return;
  // Cut in place: releasing allocates nothing.
  folder.pop_back();
  if (::rmdir(folder.c_str()) != 0) return;
  const std::size_t slash = folder.rfind('/');
  if (slash == std::string::npos) return;
  folder.resize(slash);
  // Another process's folder keeps the user's folder.
  ::rmdir(folder.c_str());
}

std::string hostProgramFolder() {
  std::string path(4096, '\0');
  ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
  if (n <= 0 || static_cast<std::size_t>(n) >= path.size()) return {};
  path.resize(static_cast<std::size_t>(n));
  return path.substr(0, path.rfind('/') + 1);
}

}  // namespace icofmt::platform
