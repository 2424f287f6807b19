// The Win32 window's controls, title, icon, cursor, boxes, file-open dialog and system menu, as the
// window core asks for them. Texts go through the ANSI functions: the tables and the operations
// hold narrow strings, and file names come back in the code page the C++ library opens them in.
#include <windows.h>

#include <commctrl.h>

#include <string>

#include "win32/application_title.h"
#include "win32/file_dialog.h"
#include "win32/main_window.h"
#include "window/controls.h"
#include "window/icons.h"

namespace qvx::win32 {

void MainWindow::AddListItem(int list_id, std::string_view text) {
  SendMessageA(Control(list_id), CB_ADDSTRING, 0,
               reinterpret_cast<LPARAM>(std::string(text).c_str()));
}

void MainWindow::SelectRow(int list_id, int row) {
  SendMessageA(Control(list_id), CB_SETCURSEL, static_cast<WPARAM>(row), 0);
}

int MainWindow::SelectedRow(int list_id) const {
  HWND list = Control(list_id);
  // CB_ERR, the answer when nothing is selected, is -1.
  return list != nullptr ? static_cast<int>(SendMessageA(list, CB_GETCURSEL, 0, 0)) : -1;
}

void MainWindow::SetText(int edit_id, std::string_view text) {
  SetWindowTextA(Control(edit_id), std::string(text).c_str());
}

std::string MainWindow::Text(int edit_id) const {
  HWND edit = Control(edit_id);
  if (edit == nullptr)
    return {};
  std::string text(static_cast<std::size_t>(GetWindowTextLengthA(edit)) + 1, '\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextA(edit, text.data(), static_cast<int>(text.size()))));
  return text;
}

void MainWindow::SetProgress(int position) {
  SendMessageA(Control(control::kProgressBar), PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void MainWindow::EnableControl(int control_id, bool enabled) {
  EnableWindow(Control(control_id), enabled ? TRUE : FALSE);
}

bool MainWindow::ControlEnabled(int control_id) const {
  HWND control = Control(control_id);
  return control != nullptr && IsWindowEnabled(control);
}

void MainWindow::FocusControl(int control_id) {
  // The dialog's own way to move the focus, which also moves the default-button look.
  if (HWND control = Control(control_id))
    SendMessageA(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
}

void MainWindow::SetTitle(std::string_view title) {
  SetWindowTextA(hwnd_, std::string(title).c_str());
}

void MainWindow::SetIcon(int icon_id) {
  // The new icons are set before the old ones go, so the window never holds a destroyed icon.
  IconHandle big(icon_id, resources::kIconSizes[0]);
  IconHandle small(icon_id, resources::kIconSizes[1]);
  SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big.get()));
  SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small.get()));
  big_icon_ = std::move(big);
  small_icon_ = std::move(small);
}

void MainWindow::SetCursor(CursorShape shape) {
  cursor_ = shape;
  ::SetCursor(LoadCursorA(nullptr, shape == CursorShape::kWait ? IDC_WAIT : IDC_ARROW));
}

void MainWindow::Repaint() {
  // Painted through the queue, one control's WM_PAINT at a time, rather than with RDW_UPDATENOW:
  // that paints all forty controls in one call, which under Wine's X11 driver on a loaded machine
  // kept the window from answering for 50 to 160 ms at the start of every download. Between two
  // controls the queue's sent messages (the desktop's pings) are answered.
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  ProcessPendingEvents();
}

void MainWindow::ShowBox(std::string_view text, std::optional<std::string_view> caption,
                         BoxIcon icon) {
  const std::string title = caption ? std::string(*caption) : ApplicationTitle();
  MessageBoxA(hwnd_, std::string(text).c_str(), title.c_str(),
              MB_OK | (icon == BoxIcon::kInformation ? MB_ICONINFORMATION : 0));
}

std::optional<std::string> MainWindow::ChooseFile(const FileFilter& filter) {
  return ChooseFileToOpen(hwnd_, filter, [this] { ProcessPendingEvents(); });
}

void MainWindow::AddSystemMenuEntry(std::string_view text, int command_id) {
  HMENU menu = GetSystemMenu(hwnd_, FALSE);
  if (menu == nullptr)
    return;
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu, MF_STRING, static_cast<UINT_PTR>(command_id), std::string(text).c_str());
}

}  // namespace qvx::win32
