// The open dialog on a thread of its own. Building the dialog takes the window system 30 to 100 ms
// (more the first time), all of it inside GetOpenFileNameA before the dialog's own message loop
// starts; on the window's thread the main window would go unserved that long in the middle of an
// operation. The dialog is still modal: GetOpenFileNameA disables its owner until it ends.
#include "win32/file_dialog.h"

#include <commdlg.h>
#include <objbase.h>

#include <array>
#include <thread>

namespace qvx::win32 {

std::optional<std::string> ChooseFileToOpen(HWND owner, const FileFilter& filter,
                                            const std::function<void()>& serve) {
  // One filter: its name and pattern, each ended by a NUL, and a second NUL after the last.
  std::string filters;
  filters.append(filter.name).push_back('\0');
  filters.append(filter.pattern).push_back('\0');
  filters.push_back('\0');
  std::array<char, MAX_PATH> path{};
  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filters.c_str();
  dialog.lpstrFile = path.data();
  dialog.nMaxFile = static_cast<DWORD>(path.size());
  dialog.Flags = OFN_HIDEREADONLY;

  HANDLE ended = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  bool chosen = false;
  std::thread runner([&] {
    // The dialog's folder view is a shell object: its thread needs a single-threaded apartment.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    chosen = GetOpenFileNameA(&dialog) != FALSE;
    if (SUCCEEDED(com))
      CoUninitialize();
    SetEvent(ended);
  });
  while (MsgWaitForMultipleObjects(1, &ended, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0)
    serve();
  runner.join();
  CloseHandle(ended);
  if (!chosen)
    return std::nullopt;
  return std::string(path.data());
}

}  // namespace qvx::win32
