// Input to another process's controls, as the window system delivers it: a mouse click as a
// button press and release at the control's centre (sent to the control), a key as key-down and
// key-up (with the extra WM_KEYF1 the system adds for F1) posted to the focused control, so that
// the program's message loop sees it first, as it sees real keys. Nothing goes to a disabled
// control or a control of a disabled window, as the window system delivers nothing there.
#pragma once

#include <windows.h>

namespace qvx::driver {

// False when the control or its window takes no input, so nothing was posted.
bool PostClick(HWND control);
// The key to the focused window of `thread_id` (else `fallback`).
void PostKey(DWORD thread_id, HWND fallback, int virtual_key);

}  // namespace qvx::driver
