// qvx5120.exe: the loader's window on Windows. Registers the progress bar's common control class,
// then runs the main window on the driver library found by the system's library search.
#include <windows.h>

#include <commctrl.h>

#include "device/library_loader.h"
#include "win32/main_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_PROGRESS_CLASS;
  InitCommonControlsEx(&controls);

  qvx::SystemLibraryLoader loader;
  qvx::win32::MainWindow window(instance, loader);
  window.Run();
  return 0;
}
