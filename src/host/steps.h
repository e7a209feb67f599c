#pragma once
// The module's own work per selector, around the forwarding to the carried
// module. Each reads and writes the module state and reports failure only by
// setting errorFlag to 1.
namespace icofmt::host {

// ReadPrepare: the icon image to open, written as the temporary PNG.
void prepareRead();
// OptionsFinish: the existing destination parked in the temporary folder.
void saveDestinationCopy();
// WritePrepare, in this order.
void reuseDestinationCopy();
void lookUpDestinationTitle();
void captureWriteFields();
// WriteStart and WriteContinue: what the host hands the carried module.
void captureLookupTables();
void capturePixels();
// WriteFinish: the icon file built and written through the host's handle.
void assembleDestination();

}  // namespace icofmt::host
