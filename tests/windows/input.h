// Input to another process's controls, posted as the window system posts it: a mouse click as a
// button press and release at the control's centre, a key as key-down and key-up (with the extra
// WM_KEYF1 the system sends for F1), each to the control that would receive it. Nothing is sent
// to a disabled control or a control of a disabled window, as the window system sends nothing.
#pragma once

#include <windows.h>

namespace qvx::driver {

// False when the control or its window takes no input, so nothing was posted.
bool PostClick(HWND control);
// The key to the focused window of `thread_id` (else `fallback`).
void PostKey(DWORD thread_id, HWND fallback, int virtual_key);

}  // namespace qvx::driver
