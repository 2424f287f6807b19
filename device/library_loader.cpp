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

// The platform loader's reason for the last failure.
std::string LastLoadError() {
#if defined(_WIN32)
  const DWORD code = GetLastError();
  char text[512] = {};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, code, 0, text, sizeof text, nullptr);
  std::string message(text, length);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  return "error " + std::to_string(code) + (message.empty() ? "" : ": " + message);
#else
  const char* error = dlerror();
  return error != nullptr ? error : "not loaded";
#endif
}

void* OpenModule(const std::string& name) {
#if defined(_WIN32)
  // Never the default search, which takes the current folder and PATH: a file of this name in
  // whatever folder the program starts from would be run. A plain name is taken from beside the
  // program or from the system folder; a full path (QVX_DRIVER_DIR) as it is, the library's own
  // imports from its folder or the system folder.
  const bool full_path = name.find_first_of("\\/") != std::string::npos;
  const DWORD search =
      LOAD_LIBRARY_SEARCH_SYSTEM32 |
      (full_path ? LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR : LOAD_LIBRARY_SEARCH_APPLICATION_DIR);
  return reinterpret_cast<void*>(LoadLibraryExA(name.c_str(), nullptr, search));
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

// The driver library by plain name, or by full path in the folder QVX_DRIVER_DIR names (made
// absolute, as the search beside a library loaded by path requires).
std::string WindowsDriverFile() {
  const char* folder = std::getenv(kDriverDirectoryVariable);
  if (folder == nullptr || *folder == '\0')
    return kDriverLibraryName;
  const std::string file = std::string(folder) + "\\" + kDriverLibraryName;
  char full[MAX_PATH] = {};
  const DWORD length = GetFullPathNameA(file.c_str(), MAX_PATH, full, nullptr);
  return length > 0 && length < MAX_PATH ? std::string(full) : file;
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
  const std::lock_guard lock(mutex_);
  report_ = {};
  void* module = nullptr;
  for (size_t i = 0; module == nullptr && i <= fallback_paths_.size(); ++i) {
    const std::string& file = i == 0 ? file_name_ : fallback_paths_[i - 1];
    module = OpenModule(file);
    report_.tried.push_back({file, module != nullptr ? std::string() : LastLoadError()});
  }
  if (module != nullptr)
    report_.loaded = ModuleFile(module);
  if (TraceWanted() && !std::exchange(traced_, true)) {
    const std::string file = module != nullptr ? report_.loaded : "none loaded";
    std::fprintf(stderr, "qvx5120: driver library: %s\n", file.c_str());
  }
  return module;
}

LoadReport SystemLibraryLoader::report() const {
  const std::lock_guard lock(mutex_);
  return report_;
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
