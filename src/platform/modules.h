#pragma once
// Loaded modules: loading a library, its exports, and the resources a module
// carries. On POSIX a module publishes its resources as the exported table
// icofmt_resources (see ResourceEntry).
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace icofmt::platform {

using ModuleHandle = void*;

// A resource type or name: a number or a string.
struct ResId {
  int id = 0;
  const char* name = nullptr;
  constexpr ResId(int number) : id(number) {}
  constexpr ResId(const char* text) : name(text) {}
};
constexpr int kRcDataType = 10;

// One resource of a POSIX module's table; the table ends with data == nullptr.
struct ResourceEntry {
  int typeId;
  const char* typeName;
  int nameId;
  const char* name;
  const unsigned char* data;
  std::size_t size;
};

// Null when loading fails.
ModuleHandle loadLibrary(const std::string& path);
void* findExport(ModuleHandle library, const char* name);
void unloadLibrary(ModuleHandle library);

// The module (library or program) whose code or data holds the address.
ModuleHandle moduleOf(const void* address);

// The bytes of a resource; empty when the module has no such resource. They
// stay valid while the module is loaded.
std::span<const std::uint8_t> findResource(ModuleHandle module, ResId type, ResId name);

namespace detail {
// One per translation unit, so its address lies in the calling module.
[[maybe_unused]] static const char moduleAnchor = 0;
}  // namespace detail

// The module that calls this.
[[maybe_unused]] static inline ModuleHandle ownModule() { return moduleOf(&detail::moduleAnchor); }

}  // namespace icofmt::platform
