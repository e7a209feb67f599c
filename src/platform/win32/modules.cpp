#include "platform/modules.h"

#include <windows.h>

namespace icofmt::platform {

namespace {

LPCSTR resourceName(const ResId& id) { return id.name != nullptr ? id.name : MAKEINTRESOURCEA(id.id); }

}  // namespace

ModuleHandle loadLibrary(const std::string& path) { return ::LoadLibraryA(path.c_str()); }

void* findExport(ModuleHandle library, const char* name) {
  if (library == nullptr) return nullptr;
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(library), name));
}

void unloadLibrary(ModuleHandle library) {
  if (library != nullptr) ::FreeLibrary(static_cast<HMODULE>(library));
}

ModuleHandle moduleOf(const void* address) {
  HMODULE module = nullptr;
  if (!::GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          static_cast<LPCSTR>(address), &module))
    return nullptr;
  return module;
}

std::span<const std::uint8_t> findResource(ModuleHandle module, ResId type, ResId name) {
  HMODULE m = static_cast<HMODULE>(module);
  HRSRC info = ::FindResourceA(m, resourceName(name), resourceName(type));
  if (info == nullptr) return {};
  HGLOBAL loaded = ::LoadResource(m, info);
  DWORD size = ::SizeofResource(m, info);
  const void* bytes = loaded != nullptr ? ::LockResource(loaded) : nullptr;
  if (bytes == nullptr) return {};
  return {static_cast<const std::uint8_t*>(bytes), size};
}

}  // namespace icofmt::platform
