#pragma once
// Selector numbers, result codes and image modes of format modules.
#include <cstdint>

#include "sdk/types.h"

namespace icofmt::sdk {

enum FormatSelector : std::int16_t {
  formatSelectorAbout = 0,
  formatSelectorReadPrepare = 1,
  formatSelectorReadStart = 2,
  formatSelectorReadContinue = 3,
  formatSelectorReadFinish = 4,
  formatSelectorOptionsPrepare = 5,
  formatSelectorOptionsStart = 6,
  formatSelectorOptionsContinue = 7,
  formatSelectorOptionsFinish = 8,
  formatSelectorEstimatePrepare = 9,
  formatSelectorEstimateStart = 10,
  formatSelectorEstimateContinue = 11,
  formatSelectorEstimateFinish = 12,
  formatSelectorWritePrepare = 13,
  formatSelectorWriteStart = 14,
  formatSelectorWriteContinue = 15,
  formatSelectorWriteFinish = 16,
  formatSelectorFilterFile = 17,
};

// Result codes. Zero is success; a negative code makes the host show its own
// message; a positive one means the module has already told the user.
enum : OSErr {
  noErr = 0,
  coercedParamErr = 2,
  readErr = -19,
  writErr = -20,
  openErr = -23,
  dskFulErr = -34,
  ioErr = -36,
  eofErr = -39,
  fnfErr = -43,
  paramErr = -50,
  memFullErr = -108,
  nilHandleErr = -109,
  userCanceledErr = -128,
  badFileFormat = -208,
  formatBadParameters = -30500,
  formatCannotRead = -30501,
  errPlugInHostInsufficient = -30900,
  errPlugInPropertyUndefined = -30901,
  errReportString = -30904,
};

enum ImageMode : std::int16_t {
  plugInModeBitmap = 0,
  plugInModeGrayScale = 1,
  plugInModeIndexedColor = 2,
  plugInModeRGBColor = 3,
  plugInModeCMYKColor = 4,
  plugInModeHSLColor = 5,
  plugInModeHSBColor = 6,
  plugInModeMultichannel = 7,
  plugInModeDuotone = 8,
  plugInModeLabColor = 9,
  plugInModeGray16 = 10,
  plugInModeRGB48 = 11,
  plugInModeLab48 = 12,
  plugInModeCMYK64 = 13,
  plugInModeDeepMultichannel = 14,
  plugInModeDuotone16 = 15,
  plugInModeRGB96 = 16,
  plugInModeGray32 = 17,
};

// Property keys of the document that a module may ask the host for.
constexpr PIType kPhotoshopSignature = fourCC("8BIM");
constexpr PIType propTitle = fourCC("titl");

// The module's own property, under its own signature: the hot spot a host
// gives the image saved into a cursor, as the simple value x << 16 | y.
// Hosts that do not know it refuse it, and the module then chooses one.
constexpr PIType kIcofmtSignature = fourCC("IcoF");
constexpr PIType propCursorHotSpot = fourCC("HtSp");

}  // namespace icofmt::sdk
