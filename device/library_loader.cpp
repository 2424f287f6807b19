// Platform loader for the driver library.
#include "device/library_loader.h"

#include <utility>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace qvx {

SystemLibraryLoader::SystemLibraryLoader(std::string file_name)
    : file_name_(std::move(file_name)) {}

#if defined(_WIN32)
void* SystemLibraryLoader::Load() {
  return reinterpret_cast<void*>(LoadLibraryA(file_name_.c_str()));
}

void* SystemLibraryLoader::Find(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}
#else
void* SystemLibraryLoader::Load() {
  return dlopen(file_name_.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* SystemLibraryLoader::Find(void* library, const char* name) {
  return dlsym(library, name);
}
#endif

}  // namespace qvx
