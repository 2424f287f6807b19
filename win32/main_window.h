// The main window on the plain Win32 API: the dialog of template 102, run with
// DialogBoxIndirectParamW. It forwards the window system's messages to the window core, which owns
// the connection and the rules, and carries out what the core asks of a WindowSurface.
#pragma once

#include <windows.h>

#include "device/library_loader.h"
#include "win32/icon_handle.h"
#include "window/window_core.h"
#include "window/window_surface.h"

namespace qvx::win32 {

class MainWindow final : public WindowSurface {
 public:
  MainWindow(HINSTANCE instance, LibraryLoader& loader);
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Shows the window and returns when it has ended.
  void Run();

  // WindowSurface.
  void AddListItem(int list_id, std::string_view text) override;
  void SelectRow(int list_id, int row) override;
  int SelectedRow(int list_id) const override;
  void SetText(int edit_id, std::string_view text) override;
  std::string Text(int edit_id) const override;
  void SetProgress(int position) override;
  void EnableControl(int control_id, bool enabled) override;
  bool ControlEnabled(int control_id) const override;
  void FocusControl(int control_id) override;
  void SetTitle(std::string_view title) override;
  void SetIcon(int icon_id) override;
  void SetCursor(CursorShape shape) override;
  void Repaint() override;
  void SetInputEnabled(bool enabled) override;
  void ProcessPendingEvents() override;
  void ShowBox(std::string_view text, std::optional<std::string_view> caption,
               BoxIcon icon) override;
  std::optional<std::string> ChooseFile(const FileFilter& filter) override;
  void AddSystemMenuEntry(std::string_view text, int command_id) override;
  void RunAbout() override;
  void Close() override;

 private:
  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
  INT_PTR HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);
  // Sets what the dialog answers a message whose result is not the procedure's return value.
  INT_PTR Answer(LRESULT result);
  bool PaintIconic();
  // Keyboard and mouse input, menus by keyboard included, aimed at this window or its controls.
  bool IsOwnInput(const MSG& message) const;
  // Escape, Alt+F4, the close box or the system menu's Close.
  static bool IsCloseRequest(const MSG& message);
  HWND Control(int id) const { return GetDlgItem(hwnd_, id); }

  HINSTANCE instance_;
  HWND hwnd_ = nullptr;
  IconHandle big_icon_;
  IconHandle small_icon_;
  CursorShape cursor_ = CursorShape::kArrow;
  bool input_enabled_ = true;
  // Last: it reaches the window through the members above from its first call on.
  WindowCore core_;
};

}  // namespace qvx::win32
