// The one place that differs between platforms when the driver library is loaded: dlopen/dlsym on
// Linux, LoadLibraryExA/GetProcAddress on Windows. On Linux the library is loaded by plain file
// name through the system's library search, with the open library beside the program as the
// fallback. On Windows only the program's own folder and the system folder are searched, never the
// current folder or PATH, so a planted Ftd2xx.dll is not run.
#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace qvx {

#if defined(_WIN32)
inline constexpr const char* kDriverLibraryName = "Ftd2xx.dll";
#else
inline constexpr const char* kDriverLibraryName = "libftd2xx.so";
#endif

#if defined(_WIN32)
// Set to a folder, this environment variable makes the programs load the driver library from that
// folder alone, by full path, instead of through the system's search (where FTDI's driver in the
// system folder would come first). qvx5120-virtual.exe sets it to the virtual generator's folder.
inline constexpr const char* kDriverDirectoryVariable = "QVX_DRIVER_DIR";
#endif

// Set to 1, this environment variable makes the loader name the driver file it loaded (or that it
// loaded none) in one line on standard error.
inline constexpr const char* kDriverTraceVariable = "QVX_DRIVER_TRACE";

// One file the search tried: its name or path as given to the platform's loader, and why it did
// not load (the loader's own words), empty for the one that loaded.
struct LoadAttempt {
  std::string file;
  std::string error;
};

// What the last Load did: every file tried, in order, and the full path of the one that loaded
// (empty when none did).
struct LoadReport {
  std::vector<LoadAttempt> tried;
  std::string loaded;
};

class LibraryLoader {
 public:
  virtual ~LibraryLoader() = default;
  // Returns the module handle, or nullptr when the library cannot be loaded.
  virtual void* Load() = 0;
  // Returns the named entry point of a loaded module, or nullptr.
  virtual void* Find(void* library, const char* name) = 0;
};

// Loads a library through the platform loader; the library is never released.
class SystemLibraryLoader final : public LibraryLoader {
 public:
  // The driver library by plain name; on Linux then the open library beside the executable; on
  // Windows from beside the program or the system folder, or only from the folder in
  // QVX_DRIVER_DIR when that is set.
  SystemLibraryLoader();
  // `file_name` by plain name only.
  explicit SystemLibraryLoader(std::string file_name);
  // `file_name` by plain name, then each of `fallback_paths` in turn.
  SystemLibraryLoader(std::string file_name, std::vector<std::string> fallback_paths);

  void* Load() override;
  void* Find(void* library, const char* name) override;

  // The search the last Load made, for the doctor.
  LoadReport report() const;

 private:
  std::string file_name_;
  std::vector<std::string> fallback_paths_;
  // Drivers bind through one loader from several threads (a station's loads).
  mutable std::mutex mutex_;
  LoadReport report_;
  // The trace names the library once, however many drivers bind through this loader.
  bool traced_ = false;
};

}  // namespace qvx
