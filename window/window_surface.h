// What a toolkit's main window offers the window core: its controls by template id, its title,
// cursor, boxes, file dialog and system menu. The Qt window and the Win32 window implement it;
// the core decides when each is used, so both windows behave alike.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "port/window_port.h"

namespace qvx {

enum class CursorShape { kArrow, kWait };
// The icon a box shows beside its text.
enum class BoxIcon { kNone, kInformation };

class WindowSurface {
 public:
  virtual ~WindowSurface() = default;

  // Drop-down lists.
  virtual void AddListItem(int list_id, std::string_view text) = 0;
  virtual void SelectRow(int list_id, int row) = 0;
  // The selected row, or -1 when nothing is selected.
  virtual int SelectedRow(int list_id) const = 0;
  // Edits.
  virtual void SetText(int edit_id, std::string_view text) = 0;
  virtual std::string Text(int edit_id) const = 0;
  // The progress bar, its range fixed at 0..100.
  virtual void SetProgress(int position) = 0;
  virtual void EnableControl(int control_id, bool enabled) = 0;
  virtual bool ControlEnabled(int control_id) const = 0;
  virtual void FocusControl(int control_id) = 0;

  virtual void SetTitle(std::string_view title) = 0;
  virtual void SetIcon(int icon_id) = 0;
  virtual void SetCursor(CursorShape shape) = 0;
  // Repaints the whole window at once.
  virtual void Repaint() = 0;
  // While an operation runs the window takes no input: clicks, keys and menus aimed at it are
  // dropped. Its boxes and the file dialog still work.
  virtual void SetInputEnabled(bool enabled) = 0;
  // Handles what is waiting in the window system's queue (painting, the desktop's pings); the
  // window ignores its own input meanwhile, since the core is busy whenever this is called.
  virtual void ProcessPendingEvents() = 0;

  // Modal box with an OK button; no caption means the application's title.
  virtual void ShowBox(std::string_view text, std::optional<std::string_view> caption,
                       BoxIcon icon) = 0;
  // The common file-open dialog: existing files, read-only box hidden. Empty when cancelled.
  virtual std::optional<std::string> ChooseFile(const FileFilter& filter) = 0;
  // Appends a separator and an entry with this command id to the window's system menu.
  virtual void AddSystemMenuEntry(std::string_view text, int command_id) = 0;
  // Runs the About box (template 100) modally.
  virtual void RunAbout() = 0;
  // Ends the dialog.
  virtual void Close() = 0;
};

}  // namespace qvx
