// Where a dialog opens: centred over its owner, or on its screen's work area when it has none.
#pragma once

#include <windows.h>

namespace qvx::win32 {

void CentreWindow(HWND window, HWND owner);

}  // namespace qvx::win32
