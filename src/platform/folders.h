#pragma once
// Folders the module takes from the system.
#include <string>

namespace icofmt::platform {

// The system's temporary folder with a trailing separator; "C:\" on Windows
// and "/tmp/" on POSIX when none can be obtained.
std::string tempFolder();

// The folder of this process's temporary files under parent, with trailing
// separator, made when missing. On POSIX parent + "icofmt-<uid>/<pid>/", both
// 0700 and ours alone; when another user holds or opened that name, a fresh
// folder of ours takes its place, and every folder above must be safe from
// others (not writable by them, or sticky). On Windows, where the temporary
// folder is the user's own, parent + "icofmt-<pid>\". The pid lets a module
// loaded again in the same process find what it parked. Folders of
// processes long gone are swept. Empty when no safe folder can be had.
std::string processFolder(const std::string& parent);
// Removes the process folder when empty, then the user's folder above it when
// no other process has one there. Cuts folder in place, allocating nothing.
void removeProcessFolder(std::string& folder);

// Folder, with trailing separator, of the executable of this process (the
// host that loaded the module); empty when it cannot be found.
std::string hostProgramFolder();

}  // namespace icofmt::platform
