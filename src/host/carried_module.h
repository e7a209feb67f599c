#pragma once
// The carried PNG format module: written from the module's own resources to
// the temporary folder as RESICO.dll, loaded, and called through ENTRYPOINT1
// for every selector from 1 to 16 with the file fields pointed at a
// temporary PNG file.
#include <span>
#include <string>

#include "host/module_state.h"
#include "platform/modules.h"
#include "sdk/format_record.h"

namespace icofmt::host {

constexpr char kCarriedFileName[] = "RESICO.dll";
constexpr char kCarriedResource[] = "RESDLL";
constexpr char kCarriedEntry[] = "ENTRYPOINT1";

constexpr char kNoCarriedPath[] = "Error: Can't find path to Png.8bi";
constexpr char kCarriedNotLoaded[] = "Error during loading Png.8bi";
constexpr char kCarriedNoEntry[] = "Error getting ENTRYPOINT1 Adress in Png.8bi";
// Followed by the path of the file.
constexpr char kCannotCreateTemporary[] = "Error: can't create temporary file ";

// The call the host made: what the carried module is called with.
struct HostCall {
  std::int16_t selector = 0;
  sdk::FormatRecord* block = nullptr;
  std::intptr_t* data = nullptr;
};

// Makes the process folder (carried.folder) and writes the carried module
// into it, unless a file there already holds exactly its bytes; returns its
// path, or an empty string when there is no file to load.
std::string writeCarriedModule(CarriedModule& carried, platform::ModuleHandle resources);
// Fills carried.library and carried.entry; false after telling the user.
// The host's data slot is cleared for the fresh instance.
bool loadCarriedModule(CarriedModule& carried, platform::ModuleHandle resources, std::intptr_t* data);

// The carried module called with the temporary PNG in place of the host's
// file (name and handle on the read side, the handle from WritePrepare on),
// and the host's put back; its result lands in result. Nothing is called
// once result is an error.
void forwardRead(const CarriedModule& carried, const ReadOperation& read, const FileSwap& files,
                 const HostCall& call, std::int16_t& result);
void forwardWrite(const CarriedModule& carried, FileSwap& files, const HostCall& call, std::int16_t& result);

void finishRead(ModuleState& s);
void finishWriteCleanup(ModuleState& s);
// What both finishes release, for an operation a host abandoned: the carried
// module and its file, the temporary files and the buffers. Leaves the
// host's parameter block alone, and allocates nothing.
void releaseOperation(ModuleState& s);

// Names the parked destination files of a save in the process folder, so
// that releasing them later allocates nothing.
void nameParkedFiles(SaveOperation& save, const std::string& folder);

}  // namespace icofmt::host
