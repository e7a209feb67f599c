#pragma once
// The module's own work per selector, around the forwarding to the carried
// module. Each reads and writes the module state and reports failure only by
// setting errorFlag to 1.
#include "pixels/bitmap.h"
#include "pixels/bmp_codec.h"

namespace icofmt::host {

// ReadPrepare: the icon image to open, written as the temporary PNG.
void prepareRead();
// OptionsFinish: the existing destination parked in the temporary folder.
void saveDestinationCopy();
// EstimatePrepare of a save that had no options step: the destination parked
// as OptionsFinish would, while the host has not yet truncated it.
void parkForPlainSave();
// Whether the host now names another destination than the one this save
// parked: then a new save has begun.
bool namesOtherDestination();
// WritePrepare, in this order.
void reuseDestinationCopy();
void lookUpDestinationTitle();
void captureWriteFields();
// WriteStart and WriteContinue: what the host hands the carried module.
void captureLookupTables();
void capturePixels();
// WriteFinish, for the assembly: the source image and mask from the capture
// (the carried module's PNG read back first for Gray and Indexed images),
// setting proposedDepth and distinctIndices. 0, or -1 when the capture or
// the PNG does not make the image: the save then ends with result 1.
int buildSourceFromCapture(TBitmapFix32& source, TBitmap& mask);
// WriteFinish: the icon file built and written through the host's handle.
void assembleDestination();
// A save that fails before WriteFinish: the host truncated the destination
// already, so its previous bytes go back through the host's handle.
void restoreDestination();
// A save abandoned after WritePrepare, when the next operation begins: its
// destination, if still the empty file the host truncated, gets its previous
// bytes back by path (the host's handle may be closed by now).
void restoreAbandonedDestination();

}  // namespace icofmt::host
