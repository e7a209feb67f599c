// The pixel transfers: a PNG behind dataFork delivered to the host, and the
// host's image requested block by block and written as PNG.
#include <algorithm>
#include <cstring>

#include "base/errors.h"
#include "carried/png_module.h"
#include "platform/files.h"
#include "sdk/selectors.h"

namespace icofmt::carried {

namespace {

// A PNG file this large is refused before it is read: no image within the
// side limit needs more, and the bytes would be held twice while decoding.
constexpr std::int64_t kMaxPngFileBytes = 256ll << 20;

class IoError : public Error {
 public:
  using Error::Error;
};

std::vector<std::uint8_t> readDataFork(std::intptr_t fork) {
  if (platform::seekFile(fork, 0, platform::SeekOrigin::Begin) != 0) throw IoError("seek");
  std::vector<std::uint8_t> bytes;
  std::uint8_t chunk[64 * 1024];
  for (;;) {
    std::int64_t got = platform::readFile(fork, chunk, sizeof chunk);
    if (got < 0) throw IoError("read");
    if (got == 0) break;
    if (static_cast<std::int64_t>(bytes.size()) + got > kMaxPngFileBytes) throw InvalidImage();
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
  return bytes;
}

void describeBlock(sdk::FormatRecord& record, Document& doc, int top, int bottom) {
  record.theRect = {static_cast<std::int16_t>(top), 0, static_cast<std::int16_t>(bottom),
                    static_cast<std::int16_t>(doc.width)};
  record.loPlane = 0;
  record.hiPlane = static_cast<std::int16_t>(doc.planes - 1);
  record.colBytes = static_cast<std::int16_t>(doc.mode == kModeBitmap ? 1 : doc.planes);
  record.rowBytes = static_cast<std::int32_t>(doc.rowBytes());
  record.planeBytes = 1;
  for (int i = 0; i < 16; ++i) record.planeMap[i] = static_cast<std::int16_t>(i);
  record.data = doc.pixels.data() + doc.rowBytes() * static_cast<std::size_t>(top);
}

void endTransfer(sdk::FormatRecord& record) {
  record.data = nullptr;
  record.theRect = {0, 0, 0, 0};
}

// Describes the next rows to deliver; false when all are delivered.
bool nextReadBlock(sdk::FormatRecord& record) {
  ModuleData& m = moduleData();
  Document& doc = m.reading;
  if (m.readNext >= doc.height) return false;
  int bottom = std::min(doc.height, m.readNext + rowsPerBlock(record, doc.rowBytes(), doc.height));
  describeBlock(record, doc, m.readNext, bottom);
  m.readNext = bottom;
  return true;
}

}  // namespace

sdk::OSErr readStart(sdk::FormatRecord& record) {
  ModuleData& m = moduleData();
  std::vector<std::uint8_t> bytes;
  try {
    bytes = readDataFork(record.dataFork);
  } catch (const IoError&) {
    return sdk::readErr;
  }
  PngImage png;
  png.LoadFromMemory(bytes);
  bytes = {};
  const bool transparency = record.transparencyPlane == -1;
  m.reading = documentFromPng(png, static_cast<std::uint16_t>(record.hostModes), transparency);
  m.readNext = 0;
  const Document& doc = m.reading;

  record.imageMode = static_cast<std::int16_t>(doc.mode);
  record.imageSize = {static_cast<std::int16_t>(doc.height), static_cast<std::int16_t>(doc.width)};
  record.depth = doc.mode == kModeBitmap ? 1 : 8;
  record.planes = static_cast<std::int16_t>(doc.planes);
  record.imageHRes = record.imageVRes = 72 << 16;
  if (doc.mode == kModeIndexed) {
    std::memcpy(record.redLUT, doc.red.data(), 256);
    std::memcpy(record.greenLUT, doc.green.data(), 256);
    std::memcpy(record.blueLUT, doc.blue.data(), 256);
    record.lutCount = doc.lutCount;
    record.transparentIndex = doc.transparentIndex >= 0 ? doc.transparentIndex : 256;
  }
  // Plane 0 always carries colour, so 0 says "no transparency plane".
  if (transparency) record.transparencyPlane = std::max(doc.alphaPlane, 0);
  // The first block goes back with this call; the rest follow in ReadContinue.
  if (!nextReadBlock(record)) endTransfer(record);
  return sdk::noErr;
}

sdk::OSErr readContinue(sdk::FormatRecord& record) {
  if (record.advanceState == nullptr) {
    if (!nextReadBlock(record)) endTransfer(record);
    return sdk::noErr;
  }
  while (nextReadBlock(record)) {
    sdk::OSErr err = record.advanceState();
    if (err != sdk::noErr) {
      endTransfer(record);
      return err;
    }
  }
  endTransfer(record);
  return sdk::noErr;
}

void readFinish(sdk::FormatRecord& record) {
  moduleData().reading = Document{};
  record.data = nullptr;
}

namespace {

void requestWriteBlock(sdk::FormatRecord& record) {
  ModuleData& m = moduleData();
  m.writeRows =
      std::min(m.writing.height - m.writeNext,
               m.writing.mode == kModeBitmap ? 1  // a packed row per block keeps every block whole bytes
                                             : rowsPerBlock(record, m.writing.rowBytes(), m.writing.height));
  describeBlock(record, m.writing, m.writeNext, m.writeNext + m.writeRows);
}

bool writeDataFork(std::intptr_t fork, const std::vector<std::uint8_t>& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    std::int64_t wrote = platform::writeFile(fork, bytes.data() + done, bytes.size() - done);
    if (wrote <= 0) return false;
    done += static_cast<std::size_t>(wrote);
  }
  return true;
}

}  // namespace

sdk::OSErr writeStart(sdk::FormatRecord& record) {
  ModuleData& m = moduleData();
  Document doc;
  doc.mode = record.imageMode;
  doc.width = record.imageSize.h;
  doc.height = record.imageSize.v;
  doc.planes = record.planes;
  const int wantDepth = doc.mode == kModeBitmap ? 1 : 8;
  if (record.depth != wantDepth || doc.mode < kModeBitmap || doc.mode > kModeRgb || doc.width < 1 ||
      doc.height < 1 || doc.planes < doc.colourPlanes() || doc.planes > 16 ||
      (doc.mode == kModeBitmap && doc.planes != 1))
    return sdk::formatBadParameters;
  doc.alphaPlane =
      record.transparencyPlane > 0 && record.transparencyPlane < doc.planes ? record.transparencyPlane : -1;
  if (doc.mode == kModeIndexed) {
    std::memcpy(doc.red.data(), record.redLUT, 256);
    std::memcpy(doc.green.data(), record.greenLUT, 256);
    std::memcpy(doc.blue.data(), record.blueLUT, 256);
    doc.lutCount = record.lutCount;
    doc.transparentIndex =
        record.transparentIndex >= 0 && record.transparentIndex < 256 ? record.transparentIndex : -1;
  }
  doc.pixels.assign(doc.rowBytes() * static_cast<std::size_t>(doc.height), 0);
  validateDocument(doc);
  m.writing = std::move(doc);
  m.writeNext = 0;
  requestWriteBlock(record);
  return sdk::noErr;
}

sdk::OSErr writeContinue(sdk::FormatRecord& record) {
  ModuleData& m = moduleData();
  if (m.writing.pixels.empty()) return sdk::formatBadParameters;
  m.writeNext += m.writeRows;
  if (m.writeNext < m.writing.height) {
    requestWriteBlock(record);
    return sdk::noErr;
  }
  endTransfer(record);
  PngImage png = pngFromDocument(m.writing);
  png.SetInterlaced(m.interlaced);
  std::vector<std::uint8_t> bytes;
  try {
    // Inside icofmt this file is the temporary PNG, read back at once and
    // deleted: speed counts, not size.
    bytes = png.EncodeTemporary();
  } catch (const Error&) {
    return sdk::writErr;
  }
  return writeDataFork(record.dataFork, bytes) ? sdk::noErr : sdk::writErr;
}

void writeFinish(sdk::FormatRecord& record) {
  moduleData().writing = Document{};
  record.data = nullptr;
}

}  // namespace icofmt::carried
