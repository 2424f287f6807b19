// A Ftd2xx.dll that is no driver and announces itself when it is loaded: it stands in a folder the
// programs must never take the driver from (the current folder, a folder on PATH), and the
// planted-driver check of scripts/test-windows looks for its mark. Its entry code writes
// planted-driver-ran into the current folder and says so on standard error.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH)
    return TRUE;
  const HANDLE mark = CreateFileA("planted-driver-ran", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (mark != INVALID_HANDLE_VALUE)
    CloseHandle(mark);
  const char said[] = "planted Ftd2xx.dll loaded\r\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), said, sizeof said - 1, &written, nullptr);
  return TRUE;
}
