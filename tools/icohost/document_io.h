#pragma once
// Documents from and to PNG files on the host's side.
#include <optional>
#include <string>

#include "carried/png_document.h"

namespace icofmt::icohost {

// Reads a PNG into a document: in the mode that fits it, or in the forced
// mode (kModeBitmap..kModeRgb). Throws HostError (unreadable file, or an
// image that the forced mode cannot hold) or InvalidImage.
carried::Document readPngDocument(const std::string& path, std::optional<int> forcedMode);

// The document scaled down to fit maxWidth x maxHeight, keeping its shape,
// with the resampler of the module's smaller sizes; RGB (with alpha when it
// has transparency), or the forced mode. A document that fits only takes the
// forced mode.
carried::Document fitDocument(const carried::Document& doc, int maxWidth, int maxHeight,
                              std::optional<int> forcedMode);

// Writes the document as PNG. Throws on failure; no file is left half-written.
void writePngDocument(const carried::Document& doc, const std::string& path);

}  // namespace icofmt::icohost
