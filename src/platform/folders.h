#pragma once
// Folders the module takes from the system.
#include <string>

namespace icofmt::platform {

// The system's temporary folder with a trailing separator; "C:\" on Windows
// and "/tmp/" on POSIX when none can be obtained.
std::string tempFolder();

// A folder of this user's own under parent (with trailing separator) for
// files that are loaded as code: on POSIX parent + "icofmt-<uid>/", created
// 0700 and refused unless it is a real folder owned by us that no one else
// may write into; on Windows parent itself, as the temporary folder is the
// user's own. Empty when no such folder can be had.
std::string privateFolder(const std::string& parent);
// Removes the folder if it is empty; one still in use by another copy stays.
void removeFolderIfEmpty(const std::string& folder);

// Folder, with trailing separator, of the executable of this process (the
// host that loaded the module); empty when it cannot be found.
std::string hostProgramFolder();

}  // namespace icofmt::platform
