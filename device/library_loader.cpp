// Platform loader for the driver library.
#include "device/library_loader.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <link.h>

#include "device/open_driver_paths.h"
#endif

namespace qvx {
namespace {

bool TraceWanted() {
  const char* value = std::getenv(kDriverTraceVariable);
  return value != nullptr && std::strcmp(value, "1") == 0;
}

void* OpenModule(const std::string& name) {
#if defined(_WIN32)
  return reinterpret_cast<void*>(LoadLibraryA(name.c_str()));
#else
  return dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
}

// The file the platform loader took the module from.
std::string ModuleFile(void* module) {
#if defined(_WIN32)
  char path[MAX_PATH] = {};
  GetModuleFileNameA(static_cast<HMODULE>(module), path, MAX_PATH);
  return path;
#else
  link_map* map = nullptr;
  if (dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr)
    return "?";
  return map->l_name;
#endif
}

}  // namespace

#if defined(_WIN32)
namespace {

// The driver library by plain name, or by full path in the folder QVX_DRIVER_DIR names.
std::string WindowsDriverFile() {
  const char* folder = std::getenv(kDriverDirectoryVariable);
  if (folder == nullptr || *folder == '\0')
    return kDriverLibraryName;
  return std::string(folder) + "\\" + kDriverLibraryName;
}

}  // namespace

SystemLibraryLoader::SystemLibraryLoader() : file_name_(WindowsDriverFile()) {}
#else
SystemLibraryLoader::SystemLibraryLoader()
    : file_name_(kDriverLibraryName), fallback_paths_(OpenDriverPaths(ExecutableDirectory())) {}
#endif

SystemLibraryLoader::SystemLibraryLoader(std::string file_name)
    : file_name_(std::move(file_name)) {}

SystemLibraryLoader::SystemLibraryLoader(std::string file_name,
                                         std::vector<std::string> fallback_paths)
    : file_name_(std::move(file_name)), fallback_paths_(std::move(fallback_paths)) {}

void* SystemLibraryLoader::Load() {
  void* module = OpenModule(file_name_);
  for (size_t i = 0; module == nullptr && i < fallback_paths_.size(); ++i)
    module = OpenModule(fallback_paths_[i]);
  if (TraceWanted()) {
    const std::string file = module != nullptr ? ModuleFile(module) : "none loaded";
    std::fprintf(stderr, "qvx5120: driver library: %s\n", file.c_str());
  }
  return module;
}

#if defined(_WIN32)
void* SystemLibraryLoader::Find(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}
#else
void* SystemLibraryLoader::Find(void* library, const char* name) {
  return dlsym(library, name);
}
#endif

}  // namespace qvx
