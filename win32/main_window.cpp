// The main window's dialog procedure: the window system's messages routed to the window core.
// While the core runs an operation it pumps the message queue (see window/window_core.cpp);
// ProcessPendingEvents then drops every keyboard and mouse message aimed at this window (keeping
// a close they ask for until the operation has ended), and the wait cursor stays up because
// WM_SETCURSOR is answered with it.
#include "win32/main_window.h"

#include <windows.h>

#include <commctrl.h>

#include <vector>

#include "win32/about_box.h"
#include "win32/dialog_template.h"
#include "win32/window_placement.h"
#include "window/controls.h"
#include "window/templates.h"

namespace qvx::win32 {
namespace {

// A popup with caption, system menu and modal frame but no minimise or maximise box, visible from
// the start; the extended style gives it a taskbar button although it is a dialog.
constexpr DWORD kMainStyle = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
constexpr DWORD kMainExStyle = WS_EX_APPWINDOW;

bool InRange(UINT message, UINT first, UINT last) {
  return message >= first && message <= last;
}

}  // namespace

MainWindow::MainWindow(HINSTANCE instance, LibraryLoader& loader)
    : instance_(instance), core_(*this, loader) {}

void MainWindow::Run() {
  const std::vector<WORD> layout =
      BuildDialogTemplate(resources::MainTemplate(), kMainStyle, kMainExStyle);
  DialogBoxIndirectParamW(instance_, reinterpret_cast<const DLGTEMPLATE*>(layout.data()), nullptr,
                          DialogProc, reinterpret_cast<LPARAM>(this));
  hwnd_ = nullptr;
}

INT_PTR CALLBACK MainWindow::DialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    auto* window = reinterpret_cast<MainWindow*>(lparam);
    SetWindowLongPtrW(dialog, DWLP_USER, lparam);
    window->hwnd_ = dialog;
  }
  auto* window = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(dialog, DWLP_USER));
  // Messages before WM_INITDIALOG (the font) find no window yet and get the default handling.
  return window != nullptr ? window->HandleMessage(message, wparam, lparam) : FALSE;
}

INT_PTR MainWindow::Answer(LRESULT result) {
  SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, result);
  return TRUE;
}

INT_PTR MainWindow::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      SendMessageW(Control(control::kProgressBar), PBM_SETRANGE, 0, MAKELPARAM(0, 100));
      CentreWindow(hwnd_, nullptr);
      core_.Initialise();
      return FALSE;  // the core has set the focus
    case WM_COMMAND: {
      const int id = LOWORD(wparam);
      // IDOK is Enter that no push button took, IDCANCEL is Escape or the close box.
      if (id == IDOK || id == IDCANCEL) {
        core_.EndRequested();
        return TRUE;
      }
      if (lparam != 0 && HIWORD(wparam) == BN_CLICKED) {
        core_.Clicked(id);
        return TRUE;
      }
      return FALSE;
    }
    case WM_SYSCOMMAND:
      if (core_.SystemCommand(static_cast<int>(wparam)))
        return Answer(0);
      return FALSE;
    case WM_HELP:
      core_.HelpKey();
      return TRUE;
    case WM_SETCURSOR:
      // The window system sets the class cursor on every mouse move; answering first keeps the
      // wait cursor up for as long as the operation runs.
      if (core_.busy() && cursor_ == CursorShape::kWait) {
        ::SetCursor(LoadCursorA(nullptr, IDC_WAIT));
        return Answer(TRUE);
      }
      return FALSE;
    case WM_PAINT:
      return PaintIconic();
    case WM_QUERYDRAGICON:
      // One of the messages whose answer is the procedure's return value.
      return reinterpret_cast<INT_PTR>(big_icon_.get());
    default:
      return FALSE;
  }
}

bool MainWindow::PaintIconic() {
  if (!IsIconic(hwnd_))
    return false;
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(hwnd_, &paint);
  SendMessageW(hwnd_, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client;
  GetClientRect(hwnd_, &client);
  const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
  const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
  DrawIcon(dc, x, y, big_icon_.get());
  EndPaint(hwnd_, &paint);
  return true;
}

bool MainWindow::IsOwnInput(const MSG& message) const {
  const UINT id = message.message;
  const bool input = InRange(id, WM_KEYFIRST, WM_KEYLAST) ||
                     InRange(id, WM_MOUSEFIRST, WM_MOUSELAST) ||
                     InRange(id, WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK) || id == WM_SYSCOMMAND ||
                     id == WM_CONTEXTMENU;
  return input && hwnd_ != nullptr && (message.hwnd == hwnd_ || IsChild(hwnd_, message.hwnd));
}

bool MainWindow::IsCloseRequest(const MSG& message) {
  switch (message.message) {
    case WM_KEYDOWN:
      return message.wParam == VK_ESCAPE;
    case WM_SYSKEYDOWN:
      return message.wParam == VK_F4;  // Alt+F4
    case WM_SYSCOMMAND:
      return (message.wParam & 0xFFF0) == SC_CLOSE;
    case WM_NCLBUTTONDOWN:
      // The close box: the default procedure would track the press and send SC_CLOSE on its
      // release, which it cannot do for a press it never sees.
      return message.wParam == HTCLOSE;
    default:
      return false;
  }
}

void MainWindow::SetInputEnabled(bool enabled) {
  input_enabled_ = enabled;
}

void MainWindow::ProcessPendingEvents() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Not ours to take: the loop that ends on it must still see it.
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    if (!input_enabled_ && IsOwnInput(message)) {
      // The input goes, but a close asked for by it is kept for when the operation has ended.
      // WM_CLOSE itself is no input: the dialog turns it into IDCANCEL, which reaches the core.
      if (IsCloseRequest(message))
        core_.EndRequested();
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void MainWindow::RunAbout() {
  RunAboutBox(instance_, hwnd_);
}

void MainWindow::Close() {
  EndDialog(hwnd_, IDOK);
}

}  // namespace qvx::win32
