// The main window: the dialog of template 102, the owner of all run-time state (driver, device
// link, download state) and the window side of the download operations.
#pragma once

#include <QDialog>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "app/about_dialog.h"
#include "app/dialog_builder.h"
#include "device/clock.h"
#include "device/driver_table.h"
#include "device/library_loader.h"
#include "device/protocol.h"
#include "device/window_port.h"
#include "download/downloads.h"

namespace qvx {

class MainDialog : public QDialog, public WindowPort {
  Q_OBJECT

 public:
  // Without a clock or loader of its own the window uses the real ones: the wall clock (which
  // keeps the window painted while it waits) and the platform's library loader.
  explicit MainDialog(Clock* clock = nullptr, LibraryLoader* loader = nullptr,
                      QWidget* parent = nullptr);
  ~MainDialog() override;

  // WindowPort.
  void ShowMessage(std::string_view text) override;
  void ShowInformation(std::string_view text, std::string_view caption) override;
  void SetTitle(std::string_view title) override;
  void SetProgress(int position) override;
  void EnableControl(int control_id, bool enabled) override;
  void ShowWaitCursor() override;
  void ShowArrowCursor() override;
  void Repaint() override;
  void ShowAmplitude(int channel, std::string_view text) override;
  std::optional<std::string> ChooseFile(const FileFilter& filter) override;

  // A command of the system menu, as the window system delivers it: 16 to 31 open the About box,
  // the close command closes the window, every other command is left alone.
  void SystemCommand(int command_id);

  // The control with a template id, or nullptr.
  QWidget* Control(int id) const;
  const std::vector<BuiltControl>& controls() const { return controls_; }
  // The entries the system menu offers: close, a separator and the About entry.
  QMenu& system_menu() { return system_menu_; }
  // How many times a cursor was shown; nothing lowers it.
  int cursor_display_count() const { return cursor_display_count_; }
  // True while a download operation runs.
  bool busy() const { return busy_; }
  Downloads& downloads() { return downloads_; }
  const DeviceLink& link() const { return link_; }

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
  enum class Message { kSysCommand, kButtonClicked };
  struct Route {
    Message message;
    int source;  // control id; kAnySource for the system menu
    void (MainDialog::*handler)(int argument);
  };
  static constexpr int kAnySource = -1;
  static const std::array<Route, 6> kMessageMap;

  // Calls the handler the message map binds to the message; false when there is none.
  bool Dispatch(Message message, int source, int argument);

  void OnInitDialog();
  void FillLists();
  void AddSystemMenuEntry();
  void FocusFirstControl();

  void OnSysCommand(int command_id);
  void OnDownloadPicture(int button_id);
  void OnDownloadBanner(int button_id);
  void OnDownloadTestPattern(int button_id);
  void OnDownloadAudio(int button_id);
  void OnDownloadCountdown(int button_id);
  // The user's choices in the lists and edits, as the download the button starts takes them.
  DownloadRequest Request(SlotKind kind) const;
  // Selected row of a drop-down list, -1 when nothing is selected.
  int Selection(int list_id) const;
  void SetText(int edit_id, std::string_view text);
  // Runs one download with the window kept alive and its input shut out (see main_dialog.cpp).
  // `button_id` is the button that started it; it has the focus again afterwards.
  void RunOperation(int button_id, const std::function<void()>& operation);
  // Lets the window repaint and answer the desktop while an operation runs.
  void KeepAlive();
  bool IsOwnInput(QObject* watched, const QEvent& event) const;

  template <typename Widget>
  Widget& ControlAs(int id) const {
    return *qobject_cast<Widget*>(by_id_.at(id));
  }

  std::unique_ptr<Clock> own_clock_;
  Clock& clock_;
  std::unique_ptr<LibraryLoader> own_loader_;
  LibraryLoader& loader_;
  Driver driver_;
  DeviceLink link_;
  Downloads downloads_;

  std::vector<BuiltControl> controls_;
  std::map<int, QWidget*> by_id_;
  QMenu system_menu_;
  bool initialised_ = false;
  bool busy_ = false;
  int cursor_display_count_ = 0;
};

}  // namespace qvx
