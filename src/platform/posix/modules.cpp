#include "platform/modules.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/scripted.h"

namespace icofmt::platform {

namespace {

// Libraries loaded through the layer, so tests can see what is loaded.
std::map<void*, std::pair<std::string, int>>& loaded() {
  static std::map<void*, std::pair<std::string, int>> libraries;
  return libraries;
}

bool matches(ResId want, int id, const char* name) {
  if (want.name == nullptr) return name == nullptr && id == want.id;
  return name != nullptr && std::strcmp(want.name, name) == 0;
}

}  // namespace

ModuleHandle loadLibrary(const std::string& path) {
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle != nullptr) {
    // A library whose record cannot be made is no library the caller can
    // ever unload.
    try {
      auto [entry, fresh] = loaded().try_emplace(handle);
      try {
        entry->second.first = path;
      } catch (...) {
        if (fresh) loaded().erase(entry);
        throw;
      }
      ++entry->second.second;
    } catch (...) {
      ::dlclose(handle);
      throw;
    }
  }
  return handle;
}

void* findExport(ModuleHandle library, const char* name) {
  if (library == nullptr) return nullptr;
  return ::dlsym(library, name);
}

void unloadLibrary(ModuleHandle library) {
  if (library == nullptr) return;
  auto it = loaded().find(library);
  if (it != loaded().end() && --it->second.second == 0) loaded().erase(it);
  ::dlclose(library);
}

ModuleHandle moduleOf(const void* address) {
  Dl_info info{};
  if (::dladdr(address, &info) == 0 || info.dli_fname == nullptr) return nullptr;
  // The handle stays valid while the module is loaded, which it is while its
  // code runs; the extra reference is given back at once.
  void* handle = ::dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
  if (handle == nullptr) handle = ::dlopen(nullptr, RTLD_LAZY);
  if (handle != nullptr) ::dlclose(handle);
  return handle;
}

std::span<const std::uint8_t> findResource(ModuleHandle module, ResId type, ResId name) {
  if (module == nullptr) return {};
  auto* table = static_cast<const ResourceEntry*>(::dlsym(module, "icofmt_resources"));
  if (table == nullptr) return {};
  for (; table->data != nullptr; ++table) {
    if (matches(type, table->typeId, table->typeName) && matches(name, table->nameId, table->name))
      return {table->data, table->size};
  }
  return {};
}

namespace scripted {
std::vector<std::string> loadedLibraries() {
  std::vector<std::string> paths;
  for (const auto& [handle, entry] : loaded()) paths.push_back(entry.first);
  std::sort(paths.begin(), paths.end());
  return paths;
}
}  // namespace scripted

}  // namespace icofmt::platform
