#pragma once
// The host's parameter block of a format module. Fields keep the published
// order; the module shares the block with the carried module, so a wrong
// offset silently corrupts both.
#include <cstddef>
#include <cstdint>

#include "sdk/callbacks.h"
#include "sdk/types.h"

namespace icofmt::sdk {

// Both Windows architectures pack the block to 4 bytes. MinGW defines _WIN32
// but not WIN32, so keying on WIN32 would give 64-bit hosts a different block.
#if defined(_WIN32)
#pragma pack(push, 4)
#endif

struct FormatRecord {
  std::int32_t serialNumber;
  TestAbortProc abortProc;
  ProgressProc progressProc;
  std::int32_t maxData;
  std::int32_t minDataBytes;
  std::int32_t maxDataBytes;
  std::int32_t minRsrcBytes;
  std::int32_t maxRsrcBytes;
  std::intptr_t dataFork;
  std::intptr_t rsrcFork;
  FSSpec* fileSpec;
  std::int16_t imageMode;
  Point imageSize;
  std::int16_t depth;
  std::int16_t planes;
  Fixed imageHRes;
  Fixed imageVRes;
  LookUpTable redLUT;
  LookUpTable greenLUT;
  LookUpTable blueLUT;
  void* data;
  Rect theRect;
  std::int16_t loPlane;
  std::int16_t hiPlane;
  std::int16_t colBytes;
  std::int32_t rowBytes;
  std::int32_t planeBytes;
  PlaneMap planeMap;
  Boolean canTranspose;
  Boolean needTranspose;
  OSType hostSig;
  HostProc hostProc;
  std::int16_t hostModes;
  Handle revertInfo;
  NewPIHandleProc hostNewHdl;
  DisposePIHandleProc hostDisposeHdl;
  Handle imageRsrcData;
  std::int32_t imageRsrcSize;
  PlugInMonitor monitor;
  void* platformData;
  BufferProcs* bufferProcs;
  ResourceProcs* resourceProcs;
  ProcessEventProc processEvent;
  DisplayPixelsProc displayPixels;
  HandleProcs* handleProcs;
  OSType fileType;
  ColorServicesProc colorServices;
  AdvanceStateProc advanceState;
  PropertyProcs* propertyProcs;
  void* imageServicesProcs;
  std::int16_t tileWidth;
  std::int16_t tileHeight;
  Point tileOrigin;
  void* descriptorParameters;
  Str255* errorString;
  std::int32_t maxValue;
  void* sSPBasic;
  void* plugInRef;
  std::int32_t transparentIndex;
  Handle iCCprofileData;
  std::int32_t iCCprofileSize;
  std::int32_t canUseICCProfiles;
  std::int32_t lutCount;
  std::int32_t preferredColorModes;
  std::int32_t convertMode;
  VPoint preferredSize;
  std::int32_t imageIndex;
  std::int32_t transparencyPlane;
  std::int32_t transparencyMatting;
  void* channelPortProcs;
  void* documentInfo;
  Boolean openForPreview;
  std::int32_t browserRotation;
  std::int32_t HostSupports32BitCoordinates;
  std::int32_t PluginUsing32BitCoordinates;
  VPoint imageSize32;
  VRect theRect32;
  std::uint32_t requestedFileProperty;
  std::uint32_t filePropertyValue;
  std::uint32_t fileCount;
  Handle xmp;
  std::int32_t supportsSkipFile;
  Boolean extractQuickThumbnail;
  Boolean hostInSecondaryThread;
  std::uint32_t bulkMask;
  std::uint32_t* bulkFlags;
  std::uint32_t presetCount;
  Handle presetNames;
  Handle presetData;
  std::uint32_t settingsChecksum;
  void* fileSpec2;
  std::uint32_t layerData;
  std::uint16_t* layerName;
  void* renderRecord;
  Handle* bulkParams;
  Boolean openAsSmartObject;
  void* layerMetaData;
  std::uint16_t* finalSpec;
  Boolean isTextLayer;
  void* textDescriptor;
  Boolean isGroupDivider;
  Boolean isGroupStart;
  Boolean isVisible;
  Boolean isLocked;
  PIType blendMode;
  std::uint8_t opacity;
  Handle bulkExtraData;
  void* fileSpecX;
  std::int16_t hostSupportsPOSIXIO;
  std::int16_t pluginUsingPOSIXIO;
  std::int32_t posixFileDescriptor;
  Boolean hostSupportsPluginOpeningFile;
  Boolean hostSupportsSingleOpenToBulkSwitch;
  Boolean pluginWantsSingleOpenToBulkSwitch;
  char reserved[50];
};

#if defined(_WIN32)
#pragma pack(pop)
#endif

// The host calls About with a different, smaller block.
struct AboutRecord {
  void* platformData;
  void* sSPBasic;
  void* plugInRef;
  char reserved[244];
};

extern "C" {
typedef void (*PluginEntry)(std::int16_t selector, FormatRecord* formatParamBlock, std::intptr_t* data,
                            std::int16_t* result);
}

#if defined(_WIN32) && !defined(_WIN64)
static_assert(offsetof(FormatRecord, dataFork) == 32);
static_assert(offsetof(FormatRecord, fileSpec) == 40);
static_assert(offsetof(FormatRecord, imageMode) == 44);
static_assert(offsetof(FormatRecord, imageSize) == 46);
static_assert(offsetof(FormatRecord, planes) == 52);
static_assert(offsetof(FormatRecord, redLUT) == 64);
static_assert(offsetof(FormatRecord, greenLUT) == 320);
static_assert(offsetof(FormatRecord, blueLUT) == 576);
static_assert(offsetof(FormatRecord, data) == 832);
static_assert(offsetof(FormatRecord, theRect) == 836);
static_assert(offsetof(FormatRecord, loPlane) == 844);
static_assert(offsetof(FormatRecord, hiPlane) == 846);
static_assert(offsetof(FormatRecord, planeMap) == 860);
static_assert(offsetof(FormatRecord, hostSig) == 896);
static_assert(offsetof(FormatRecord, monitor) == 928);
static_assert(offsetof(FormatRecord, handleProcs) == 988);
static_assert(offsetof(FormatRecord, propertyProcs) == 1004);
static_assert(offsetof(FormatRecord, openForPreview) == 1096);
static_assert(offsetof(FormatRecord, HostSupports32BitCoordinates) == 1104);
static_assert(offsetof(FormatRecord, fileSpec2) == 1184);
static_assert(offsetof(FormatRecord, opacity) == 1232);
static_assert(offsetof(FormatRecord, posixFileDescriptor) == 1248);
static_assert(offsetof(FormatRecord, reserved) == 1255);
static_assert(sizeof(FormatRecord) == 1308);
static_assert(sizeof(AboutRecord) == 256);
#endif

#if defined(_WIN64)
static_assert(offsetof(FormatRecord, abortProc) == 4);
static_assert(offsetof(FormatRecord, dataFork) == 40);
static_assert(offsetof(FormatRecord, fileSpec) == 56);
static_assert(offsetof(FormatRecord, imageMode) == 64);
static_assert(offsetof(FormatRecord, imageSize) == 66);
static_assert(offsetof(FormatRecord, planes) == 72);
static_assert(offsetof(FormatRecord, redLUT) == 84);
static_assert(offsetof(FormatRecord, greenLUT) == 340);
static_assert(offsetof(FormatRecord, blueLUT) == 596);
static_assert(offsetof(FormatRecord, data) == 852);
static_assert(offsetof(FormatRecord, theRect) == 860);
static_assert(offsetof(FormatRecord, loPlane) == 868);
static_assert(offsetof(FormatRecord, hiPlane) == 870);
static_assert(offsetof(FormatRecord, planeMap) == 884);
static_assert(offsetof(FormatRecord, hostSig) == 920);
static_assert(offsetof(FormatRecord, monitor) == 972);
static_assert(offsetof(FormatRecord, handleProcs) == 1052);
static_assert(offsetof(FormatRecord, propertyProcs) == 1080);
static_assert(offsetof(FormatRecord, openForPreview) == 1208);
static_assert(offsetof(FormatRecord, HostSupports32BitCoordinates) == 1216);
static_assert(offsetof(FormatRecord, fileSpec2) == 1312);
static_assert(offsetof(FormatRecord, opacity) == 1388);
static_assert(offsetof(FormatRecord, posixFileDescriptor) == 1412);
static_assert(offsetof(FormatRecord, reserved) == 1419);
static_assert(sizeof(FormatRecord) == 1472);
static_assert(sizeof(AboutRecord) == 272);
#endif

}  // namespace icofmt::sdk
