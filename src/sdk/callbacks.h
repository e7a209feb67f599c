#pragma once
// Callbacks and callback suites the host hands to a format module. The suites
// keep the compiler's default packing; only the FormatRecord is packed.
#include <cstddef>
#include <cstdint>

#include "sdk/types.h"

namespace icofmt::sdk {

extern "C" {
typedef Boolean (*TestAbortProc)(void);
typedef void (*ProgressProc)(std::int32_t done, std::int32_t total);
typedef OSErr (*AdvanceStateProc)(void);
typedef void (*HostProc)(std::int16_t selector, std::intptr_t* data);
typedef void (*ProcessEventProc)(void* event);
typedef OSErr (*DisplayPixelsProc)(const void* source, const VRect* srcRect, std::int32_t dstRow,
                                   std::int32_t dstCol, void* platformContext);
typedef OSErr (*ColorServicesProc)(void* info);
typedef Handle (*NewPIHandleProc)(std::int32_t size);
typedef void (*DisposePIHandleProc)(Handle h);

typedef Handle (*NewHandleProc)(std::int32_t size);
typedef void (*DisposeHandleProc)(Handle h);
typedef std::int32_t (*GetHandleSizeProc)(Handle h);
typedef OSErr (*SetHandleSizeProc)(Handle h, std::int32_t newSize);
typedef Ptr (*LockHandleProc)(Handle h, Boolean moveHigh);
typedef void (*UnlockHandleProc)(Handle h);
typedef void (*RecoverSpaceProc)(std::int32_t size);
typedef void (*DisposeRegularHandleProc)(Handle h);

typedef OSErr (*GetPropertyProc)(PIType signature, PIType key, std::int32_t index,
                                 std::intptr_t* simpleProperty, Handle* complexProperty);
typedef OSErr (*SetPropertyProc)(PIType signature, PIType key, std::int32_t index,
                                 std::intptr_t simpleProperty, Handle complexProperty);

typedef void* BufferID;
typedef OSErr (*AllocateBufferProc)(std::int32_t size, BufferID* id);
typedef Ptr (*LockBufferProc)(BufferID id, Boolean moveHigh);
typedef void (*UnlockBufferProc)(BufferID id);
typedef void (*FreeBufferProc)(BufferID id);
typedef std::int32_t (*BufferSpaceProc)(void);
typedef OSErr (*ReserveProc)(std::int32_t size);
typedef OSErr (*AllocateBufferProc64)(std::int64_t size, BufferID* id);
typedef std::int64_t (*BufferSpaceProc64)(void);

typedef std::int16_t (*CountPIResourcesProc)(ResType type);
typedef Handle (*GetPIResourceProc)(ResType type, std::int16_t index);
typedef void (*DeletePIResourceProc)(ResType type, std::int16_t index);
typedef OSErr (*AddPIResourceProc)(ResType type, Handle data);
}

struct HandleProcs {
  std::int16_t handleProcsVersion;
  std::int16_t numHandleProcs;
  NewHandleProc newProc;
  DisposeHandleProc disposeProc;
  GetHandleSizeProc getSizeProc;
  SetHandleSizeProc setSizeProc;
  LockHandleProc lockProc;
  UnlockHandleProc unlockProc;
  RecoverSpaceProc recoverSpaceProc;
  DisposeRegularHandleProc disposeRegularHandleProc;
};

struct PropertyProcs {
  std::int16_t propertyProcsVersion;
  std::int16_t numPropertyProcs;
  GetPropertyProc getPropertyProc;
  SetPropertyProc setPropertyProc;
};

struct BufferProcs {
  std::int16_t bufferProcsVersion;
  std::int16_t numBufferProcs;
  AllocateBufferProc allocateProc;
  LockBufferProc lockProc;
  UnlockBufferProc unlockProc;
  FreeBufferProc freeProc;
  BufferSpaceProc spaceProc;
  ReserveProc reserveProc;
  AllocateBufferProc64 allocateProc64;
  BufferSpaceProc64 spaceProc64;
};

struct ResourceProcs {
  std::int16_t resourceProcsVersion;
  std::int16_t numResourceProcs;
  CountPIResourcesProc countProc;
  GetPIResourceProc getProc;
  DeletePIResourceProc deleteProc;
  AddPIResourceProc addProc;
};

constexpr std::int16_t kCurrentHandleProcsVersion = 1;
constexpr std::int16_t kCurrentHandleProcsCount = 8;
constexpr std::int16_t kCurrentPropertyProcsVersion = 1;
constexpr std::int16_t kCurrentPropertyProcsCount = 2;

#if defined(_WIN32)
static_assert(sizeof(void*) != 4 || (sizeof(HandleProcs) == 36 && sizeof(PropertyProcs) == 12));
static_assert(sizeof(void*) != 8 || (sizeof(HandleProcs) == 72 && sizeof(PropertyProcs) == 24));
#endif

}  // namespace icofmt::sdk
