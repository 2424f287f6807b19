// The main window on Qt: the dialog of template 102. It paints the controls and forwards clicks,
// keys and system commands to the window core, which owns the connection and the rules.
#pragma once

#include <QDialog>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "app/about_dialog.h"
#include "app/dialog_builder.h"
#include "device/library_loader.h"
#include "port/clock.h"
#include "window/window_core.h"
#include "window/window_surface.h"

namespace qvx {

class MainDialog : public QDialog, public WindowSurface {
  Q_OBJECT

 public:
  // Without a clock or loader of its own the window uses the real ones: the wall clock (which
  // keeps the window painted while it waits) and the platform's library loader.
  explicit MainDialog(Clock* clock = nullptr, LibraryLoader* loader = nullptr,
                      QWidget* parent = nullptr);
  ~MainDialog() override;

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

  // A command of the system menu, as the window system delivers it: 16 to 31 open the About box,
  // the close command closes the window, every other command is left alone.
  void SystemCommand(int command_id) { core_.SystemCommand(command_id); }

  // The control with a template id, or nullptr.
  QWidget* Control(int id) const;
  const std::vector<BuiltControl>& controls() const { return controls_; }
  // The entries the system menu offers: close, a separator and the About entry.
  QMenu& system_menu() { return system_menu_; }
  // How many times a cursor was shown; nothing lowers it.
  int cursor_display_count() const { return core_.cursor_display_count(); }
  // True while a download operation runs.
  bool busy() const { return core_.busy(); }
  Downloads& downloads() { return core_.connection().downloads; }
  const DeviceLink& link() const { return core_.connection().link; }

  // The window initialises itself (fills its lists, connects to the generator) when first shown.
  void setVisible(bool visible) override;
  // Ending the dialog waits for the running operation.
  void done(int result) override;

 protected:
  // Every modal box, file dialog and menu runs through these, so a test can watch and answer them.
  virtual void PresentBox(QMessageBox& box);
  // The chosen file, or nothing when the dialog was cancelled.
  virtual std::optional<QString> PresentFileDialog(QFileDialog& dialog);
  virtual void PresentAbout(AboutDialog& about);
  // The chosen entry, or nullptr.
  virtual QAction* PresentMenu(QMenu& menu, const QPoint& global_position);

  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
#ifdef Q_OS_WIN
  bool nativeEvent(const QByteArray& type, void* message, qintptr* result) override;
#endif

 private:
  bool IsOwnInput(QObject* watched, const QEvent& event) const;

  template <typename Widget>
  Widget* ControlAs(int id) const {
    return qobject_cast<Widget*>(Control(id));
  }

  std::unique_ptr<LibraryLoader> own_loader_;
  std::vector<BuiltControl> controls_;
  std::map<int, QWidget*> by_id_;
  QMenu system_menu_;
  // The file-open dialog of every operation, built when the window initialises (see ChooseFile).
  std::unique_ptr<QFileDialog> file_dialog_;
  bool initialised_ = false;
  // Last: it reaches the window through the members above from its first call on.
  WindowCore core_;
};

}  // namespace qvx
