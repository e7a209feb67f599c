#pragma once
// The module's own work per selector, around the forwarding to the carried
// module. Each step is handed the parts of the state it works on and the
// host's parameter block; a step that answers false ends the call with
// result 1, the user already told whatever there is to tell. The order in
// which they run is writeDispatch's and readDispatch's (dispatch.cpp).
#include <cstdint>
#include <string>

#include "host/module_state.h"
#include "pixels/bitmap.h"
#include "pixels/bmp_codec.h"
#include "sdk/format_record.h"

namespace icofmt::host {

// ReadPrepare: the icon image to open, written as the temporary PNG in
// folder and opened for the carried module.
bool prepareRead(ReadOperation& read, FileSwap& files, const std::string& folder,
                 const sdk::FormatRecord& block);

// OptionsFinish: the existing destination (the FSSpec's) parked in folder.
bool saveDestinationCopy(SaveOperation& save, FileSwap& files, const std::string& folder,
                         const sdk::FormatRecord* block);
// EstimatePrepare of a save that had no options step: the destination parked
// as OptionsFinish would, while the host has not yet truncated it.
bool parkForPlainSave(SaveOperation& save, FileSwap& files, const std::string& folder,
                      const sdk::FormatRecord* block);
// Whether the host now names another destination than the one this save
// parked: then a new save has begun. Allocates nothing.
bool namesOtherDestination(const SaveOperation& save, const FileSwap& files, const sdk::FormatRecord* block);

// WritePrepare, in this order: the destination found (the parked copy taken
// back when it is this save's, else the file the title names, read now; false
// when the host gives no title or that file cannot be read); then the image
// the host describes.
bool findDestination(SaveOperation& save, FileSwap& files, const std::string& folder,
                     const sdk::FormatRecord* block);
bool captureWriteFields(SaveOperation& save, const sdk::FormatRecord* block);

// WriteStart and WriteContinue: what the host hands the carried module.
void captureLookupTables(SaveOperation& save, const sdk::FormatRecord* block);
void capturePixels(SaveOperation& save, const sdk::FormatRecord* block);

// WriteFinish, for the assembly: the source image and mask from the capture
// (the carried module's PNG read back first for Gray and Indexed images),
// setting proposedDepth and distinctIndices. 0, or -1 when the capture or
// the PNG does not make the image: the save then ends with result 1.
int buildSourceFromCapture(SaveOperation& save, platform::FileHandle tempPng, TBitmapFix32& source,
                           TBitmap& mask);
// WriteFinish: the icon file built and written through the host's handle;
// the host's result.
std::int16_t assembleDestination(SaveOperation& save, FileSwap& files, const sdk::FormatRecord* block);

// A save that fails before WriteFinish: the host truncated the destination
// already, so its previous bytes go back through the host's handle.
void restoreDestination(const SaveOperation& save, FileSwap& files, const sdk::FormatRecord* block);
// A save abandoned after WritePrepare, when the next operation begins: its
// destination, if still the empty file the host truncated, gets its previous
// bytes back by path (the host's handle may be closed by now).
void restoreAbandonedDestination(const SaveOperation& save, const FileSwap& files,
                                 std::int16_t lastSucceeded);

}  // namespace icofmt::host
