// The program under test as the driver sees it from outside: its process, its main window (the
// top-level window holding the marker control: the loader window's Download Picture button, or
// the one named) and the other dialogs it opens (message boxes, the file-open dialog, the About
// box), read through the window system only.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qvx::driver {

class Target {
 public:
  // The loader window's Download Picture button.
  static constexpr int kDownloadPictureButton = 1000;
  explicit Target(int marker_control = kDownloadPictureButton) : marker_(marker_control) {}
  Target(const Target&) = delete;
  Target& operator=(const Target&) = delete;
  ~Target();

  // Starts `command_line` in `work_dir` with this process's environment. False when it cannot.
  bool Start(const std::string& command_line, const std::string& work_dir);
  bool Running() const;
  // Waits up to `milliseconds` until the program waits for input with none pending: its start-up
  // or the handling of the last input is over.
  void WaitUntilIdle(DWORD milliseconds) const;
  // Waits up to `milliseconds` for the process to end.
  bool WaitForExit(DWORD milliseconds) const;
  void Kill();

  // The main window once it exists (visible or not), else nullptr; found again on every call
  // until it is, then kept while it lives.
  HWND MainWindow();
  // The visible top-level dialogs of the process other than the main window.
  std::vector<HWND> Dialogs() const;
  // The visible top-level windows of the process without a caption, other than its dialogs
  // (boxes, the About box and the file dialog, which all have one).
  std::vector<HWND> NamelessWindows() const;
  DWORD thread_id() const { return thread_id_; }

 private:
  PROCESS_INFORMATION process_{};
  int marker_;
  DWORD thread_id_ = 0;  // of the main window
  HWND main_ = nullptr;
};

// Texts are UTF-8 on this side and UTF-16 in the window system, whatever the program's code page.
std::string Utf8(std::wstring_view text);
std::wstring Wide(std::string_view utf8);
// A top-level window's caption, read without waiting on its process.
std::string Caption(HWND window);
// A control's text, through WM_GETTEXT; nullopt when the program did not answer in time (a
// program starved of time on a loaded machine, which a later read may reach).
std::optional<std::string> ControlText(HWND control);
// Sets a control's text through WM_SETTEXT; false when the program did not answer.
bool SetControlText(HWND control, std::string_view text);
// A message to another process's window that gives up after `milliseconds` instead of hanging.
// Ten seconds by default: with the other Windows checks beside it on two cores, a window that is
// merely starved of time can take seconds to answer. Not given up at once on a window the system
// deems hung (unserved for five seconds): on a loaded machine that is a window starved of time.
std::optional<LRESULT> SendWithin(HWND window, UINT message, WPARAM w, LPARAM l,
                                  UINT milliseconds = 10000);
// The visible children of a dialog with their ids, in tab (creation) order.
std::vector<HWND> VisibleChildren(HWND dialog);
bool IsFileDialog(HWND dialog);
// The selected filter of a file-open dialog, as its file-type list shows it; nullopt as for
// ControlText.
std::optional<std::string> FileDialogFilter(HWND dialog);
// The file-name field of a file-open dialog (the explorer style's combo box or the old edit).
HWND FileNameField(HWND dialog);
// True when the dialog shows no read-only check box.
bool ReadOnlyBoxHidden(HWND dialog);

}  // namespace qvx::driver
