// The templates give sizes only, so each dialog is placed when it opens; the window stays wholly
// on the work area of the screen it is on.
#include "win32/window_placement.h"

#include <algorithm>

namespace qvx::win32 {

void CentreWindow(HWND window, HWND owner) {
  RECT frame;
  GetWindowRect(window, &frame);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  GetMonitorInfoW(MonitorFromWindow(owner != nullptr ? owner : window, MONITOR_DEFAULTTONEAREST),
                  &monitor);
  RECT area = monitor.rcWork;
  RECT around = area;
  if (owner != nullptr && IsWindowVisible(owner))
    GetWindowRect(owner, &around);
  const LONG width = frame.right - frame.left;
  const LONG height = frame.bottom - frame.top;
  LONG x = around.left + (around.right - around.left - width) / 2;
  LONG y = around.top + (around.bottom - around.top - height) / 2;
  x = std::max(area.left, std::min(x, area.right - width));
  y = std::max(area.top, std::min(y, area.bottom - height));
  SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace qvx::win32
