// qvx5120-station.exe: the station window on Windows. Reads the command line as qvx5120-load.exe
// does (the arguments in the program's code page), answers --help and --version and a command
// line it cannot take, then runs the window on the driver library found by the system's search.
// A window program has no console of its own: what it has to say goes to the standard output or
// error it was given, else to the console of the program that started it, else into a box.
#include <windows.h>

#include <commctrl.h>
#include <stdlib.h>  // __argc, __argv

#include <string>
#include <vector>

#include "device/library_loader.h"
#include "station_window/options.h"
#include "station_window/texts.h"
#include "win32/station_window.h"
#include "win32/wide_text.h"

namespace {

namespace text = qvx::station_window::text;

constexpr int kExitUsage = 2;

// True when the text went to a handle or console this program was given.
bool Print(DWORD which, const std::string& message) {
  HANDLE out = GetStdHandle(which);
  if (out == nullptr || out == INVALID_HANDLE_VALUE || GetFileType(out) == FILE_TYPE_UNKNOWN) {
    if (!AttachConsole(ATTACH_PARENT_PROCESS))
      return false;
    out = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                      nullptr);
    if (out == INVALID_HANDLE_VALUE)
      return false;
    const std::wstring wide = qvx::win32::Widen(message);
    DWORD written = 0;
    return WriteConsoleW(out, wide.c_str(), static_cast<DWORD>(wide.size()), &written, nullptr);
  }
  DWORD written = 0;
  return WriteFile(out, message.data(), static_cast<DWORD>(message.size()), &written, nullptr);
}

void Say(DWORD which, const std::string& message, UINT icon) {
  if (!Print(which, message))
    MessageBoxW(nullptr, qvx::win32::Widen(message).c_str(),
                qvx::win32::Widen(text::kBoxCaption).c_str(), MB_OK | icon);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  const std::vector<std::string> args(__argv + 1, __argv + __argc);
  qvx::station_window::StationWindowOptions options;
  try {
    options = qvx::station_window::ParseStationWindowOptions(args);
  } catch (const qvx::station_window::OptionsError& error) {
    Say(STD_ERROR_HANDLE, text::kProgram + std::string(error.what()) + "\n", MB_ICONWARNING);
    return kExitUsage;
  }
  if (options.help) {
    Say(STD_OUTPUT_HANDLE, text::Usage(), MB_ICONINFORMATION);
    return 0;
  }
  if (options.version) {
    Say(STD_OUTPUT_HANDLE, std::string("qvx5120-station ") + QVX_VERSION + "\n",
        MB_ICONINFORMATION);
    return 0;
  }

  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES;
  InitCommonControlsEx(&controls);

  qvx::SystemLibraryLoader loader;
  qvx::win32::StationWindow window(instance, loader, std::move(options));
  window.Run();
  return 0;
}
