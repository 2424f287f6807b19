// The one place that differs between platforms when the driver library is loaded: dlopen/dlsym on
// Linux, LoadLibraryA/GetProcAddress on Windows. The library is loaded by plain file name, so the
// platform's normal library search applies.
#pragma once

#include <string>

namespace qvx {

#if defined(_WIN32)
inline constexpr const char* kDriverLibraryName = "Ftd2xx.dll";
#else
inline constexpr const char* kDriverLibraryName = "libftd2xx.so";
#endif

class LibraryLoader {
 public:
  virtual ~LibraryLoader() = default;
  // Returns the module handle, or nullptr when the library cannot be loaded.
  virtual void* Load() = 0;
  // Returns the named entry point of a loaded module, or nullptr.
  virtual void* Find(void* library, const char* name) = 0;
};

// Loads a library by name through the platform loader; the library is never released.
class SystemLibraryLoader final : public LibraryLoader {
 public:
  explicit SystemLibraryLoader(std::string file_name = kDriverLibraryName);
  void* Load() override;
  void* Find(void* library, const char* name) override;

 private:
  std::string file_name_;
};

}  // namespace qvx
