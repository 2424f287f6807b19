// Posted mouse and key input; see input.h.
#include "tests/windows/input.h"

namespace qvx::driver {
namespace {

// WM_KEYF1: undocumented, posted by the window system after a key-down of F1; the default window
// procedure turns it into WM_HELP.
constexpr UINT kKeyF1Message = 0x004D;

}  // namespace

bool PostClick(HWND control) {
  if (!IsWindowEnabled(control) || !IsWindowEnabled(GetAncestor(control, GA_ROOT)))
    return false;
  RECT area{};
  GetClientRect(control, &area);
  const LPARAM at = MAKELPARAM(area.right / 2, area.bottom / 2);
  // Sent, not posted, so that the control has taken the focus before the next step picks the
  // focused control. The release may start a download that runs for a minute: the driver then
  // stops waiting for it after a moment and goes on while it runs.
  // Not SMTO_ABORTIFHUNG: a program that has not read its queue for a while (a slow start-up on
  // a loaded machine) would then never see the click at all.
  SendMessageTimeoutA(control, WM_MOUSEMOVE, 0, at, SMTO_NORMAL, 5000, nullptr);
  SendMessageTimeoutA(control, WM_LBUTTONDOWN, MK_LBUTTON, at, SMTO_NORMAL, 5000, nullptr);
  SendMessageTimeoutA(control, WM_LBUTTONUP, 0, at, SMTO_NORMAL, 200, nullptr);
  return true;
}

void PostKey(DWORD thread_id, HWND fallback, int virtual_key) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  HWND target = fallback;
  if (GetGUIThreadInfo(thread_id, &info)) {
    if (info.hwndFocus)
      target = info.hwndFocus;
    else if (info.hwndActive)
      target = info.hwndActive;
  }
  const UINT scan = MapVirtualKeyA(static_cast<UINT>(virtual_key), MAPVK_VK_TO_VSC);
  const LPARAM down = 1 | static_cast<LPARAM>(scan) << 16;
  const LPARAM up = down | static_cast<LPARAM>(1) << 30 | static_cast<LPARAM>(1) << 31;
  PostMessageA(target, WM_KEYDOWN, static_cast<WPARAM>(virtual_key), down);
  if (virtual_key == VK_F1)
    PostMessageA(target, kKeyF1Message, 0, 0);
  PostMessageA(target, WM_KEYUP, static_cast<WPARAM>(virtual_key), up);
}

}  // namespace qvx::driver
