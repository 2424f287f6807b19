// The main window without a toolkit: start-up, the routing of clicks and system commands to their
// actions, the request each download button builds from the controls, and the rules while an
// operation runs (input shut out, wait cursor, window kept painted, focus back on the button).
// Each front end (Qt, Win32) paints its controls and forwards the window system's events here.
#pragma once

#include <array>
#include <memory>

#include "device/library_loader.h"
#include "download/connection.h"
#include "download/kinds/slot.h"
#include "download/request.h"
#include "port/clock.h"
#include "port/window_port.h"
#include "window/window_surface.h"

namespace qvx {

class WindowCore final : public WindowPort {
 public:
  // Without a clock of its own the core waits with the wall clock, which keeps the window
  // painted while it waits.
  WindowCore(WindowSurface& surface, LibraryLoader& loader, Clock* clock = nullptr);
  WindowCore(const WindowCore&) = delete;
  WindowCore& operator=(const WindowCore&) = delete;

  // The window's initialisation: lists filled and set to their first rows, "0.0" in the four
  // amplitude edits, progress 0, the About entry in the system menu and the icon, then the
  // connection to the generator, then the focus on the first control that takes it.
  void Initialise();

  // A click on a control. Runs the download its button starts; false when the control starts
  // nothing. Ignored while an operation runs.
  bool Clicked(int control_id);
  // A system command (menu entry, F1): 16 to 31 open the About box, the close command ends the
  // dialog. False when the command is not the core's, for the platform's default handling.
  bool SystemCommand(int command_id);
  // F1: the About box.
  void HelpKey();
  // Enter that no push button took, Escape or the close box: ends the dialog. While an operation
  // runs the request is kept and carried out once the operation has ended.
  void EndRequested();

  // True while a download runs: the window then takes no input and does not close.
  bool busy() const { return busy_; }
  // How many times a cursor was shown; nothing lowers it.
  int cursor_display_count() const { return cursor_display_count_; }
  // The download a button starts, as the controls stand now.
  DownloadRequest Request(SlotKind kind) const;
  Connection& connection() { return connection_; }
  const Connection& connection() const { return connection_; }

  // WindowPort: what the operations show, with the rules applied.
  void ShowMessage(std::string_view text) override;
  void ShowInformation(std::string_view text, std::string_view caption) override;
  void SetTitle(std::string_view title) override;
  void SetProgress(int position) override;
  void EnableDownloadButtons(bool enabled) override;
  void ShowWaitCursor() override;
  void ShowArrowCursor() override;
  void Repaint() override;
  void ShowAmplitude(int channel, std::string_view text) override;
  std::optional<std::string> ChooseFile(const FileFilter& filter) override;

  // The system menu's close command; its low four bits are free, as for every system command.
  static constexpr int kCloseCommand = 0xF060;

 private:
  void RunOperation(int button_id, SlotKind kind);
  // Lets the window repaint and answer the desktop while an operation runs.
  void KeepAlive();
  void FocusFirstControl();

  WindowSurface& surface_;
  std::unique_ptr<Clock> own_clock_;
  Connection connection_;
  bool busy_ = false;
  bool end_requested_ = false;  // while busy: the dialog ends once the operation has
  int cursor_display_count_ = 0;
};

}  // namespace qvx
