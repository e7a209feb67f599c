#pragma once
// The carried PNG format module: written from the module's own resources to
// the temporary folder as RESICO.dll, loaded, and called through ENTRYPOINT1
// for every selector from 1 to 16 with the file fields pointed at a
// temporary PNG file.
#include <span>
#include <string>

#include "platform/modules.h"

namespace icofmt::host {

constexpr char kDelegateFileName[] = "RESICO.dll";
constexpr char kDelegateResource[] = "RESDLL";
constexpr char kDelegateEntry[] = "ENTRYPOINT1";

constexpr char kNoDelegatePath[] = "Error: Can't find path to Png.8bi";
constexpr char kDelegateNotLoaded[] = "Error during loading Png.8bi";
constexpr char kDelegateNoEntry[] = "Error getting ENTRYPOINT1 Adress in Png.8bi";
// Followed by the path of the file.
constexpr char kCannotCreateTemporary[] = "Error: can't create temporary file ";

// Sets tempFolder and writes the carried module into a private folder under
// it, unless a file there already holds exactly its bytes; returns its path,
// or an empty string when there is no file to load.
std::string extractDelegate(platform::ModuleHandle resources);
// Fills delegateLibrary and delegateEntry, or sets errorFlag with a message.
void loadDelegate(platform::ModuleHandle resources);

void forwardRead();
void forwardWrite();

void finishRead();
void finishWriteCleanup();
// What both finishes release, for an operation a host abandoned: the carried
// module and its file, the temporary files and the buffers. Leaves the
// host's parameter block alone.
void releaseOperation();

// Names the parked destination files of a save in the temporary folder, so
// that releasing them later allocates nothing.
void nameParkedFiles();

}  // namespace icofmt::host
