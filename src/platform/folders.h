#pragma once
// Folders the module takes from the system.
#include <string>

namespace icofmt::platform {

// The system's temporary folder with a trailing separator; "C:\" on Windows
// and "/tmp/" on POSIX when none can be obtained.
std::string tempFolder();

// Folder, with trailing separator, of the executable of this process (the
// host that loaded the module); empty when it cannot be found.
std::string hostProgramFolder();

}  // namespace icofmt::platform
