// The About box from template 100, modal over the main window.
#pragma once

#include <windows.h>

namespace qvx::win32 {

// Runs the box until OK, Enter, Escape or its close box ends it; `owner` is disabled meanwhile.
void RunAboutBox(HINSTANCE instance, HWND owner);

}  // namespace qvx::win32
