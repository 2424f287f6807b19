// Test doubles for the main window: a loader that finds no library, and a MainDialog whose boxes,
// file dialogs, About boxes and menus are recorded and answered by the test instead of running
// modal loops.
#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/main_dialog.h"
#include "device/library_loader.h"
#include "port/clock.h"
#include "tests/support/recording_clock.h"

namespace qvx::test {

class NoLibraryLoader final : public LibraryLoader {
 public:
  void* Load() override { return nullptr; }
  void* Find(void*, const char*) override { return nullptr; }
};

struct BoxRecord {
  QString text;
  QString caption;
  QMessageBox::Icon icon;
  QMessageBox::StandardButtons buttons;
  bool owned_by_window;  // the main window is the box's parent
  bool modal;
};

struct FileDialogRecord {
  QStringList name_filters;
  QStringList model_patterns;  // what the dialog's file list matches
  QFileDialog::AcceptMode accept_mode;
  QFileDialog::FileMode file_mode;
  bool read_only;
  QString default_suffix;
  QStringList preselected;  // file names filled in before the user types
  bool owned_by_window;
};

struct AboutRecord {
  QString caption;
  QStringList texts;  // the template's texts in tab order, the OK button's among them
  int result_before;  // a fresh box has never been ended
  bool owned_by_window;
};

class TestDialog : public MainDialog {
 public:
  using MainDialog::MainDialog;

  // Everything the window showed, in order: "title ...", "box text | caption | icon",
  // "file filter", "about".
  std::vector<std::string> log;
  std::vector<std::string> titles;
  std::vector<int> progress;
  std::vector<BoxRecord> boxes;
  std::vector<FileDialogRecord> file_dialogs;
  std::vector<AboutRecord> abouts;
  // The user's answers to file dialogs, first first; a cancel when none is left.
  std::deque<std::optional<QString>> file_answers;
  // The menu entry the user picks, by text; nothing picked when empty.
  QString menu_choice;
  std::vector<QStringList> menus;            // the entries of each menu shown
  std::function<void(QMessageBox&)> on_box;  // runs while a box is up
  // Runs while a file dialog is up, after it was recorded, as the user's doing in it.
  std::function<void(QFileDialog&)> on_file_dialog;
  // Runs after each title or progress change, with its log line ("title ...", "progress N").
  std::function<void(const std::string&)> on_shown;

  void SetTitle(std::string_view title) override;
  void SetProgress(int position) override;

 protected:
  void PresentBox(QMessageBox& box) override;
  std::optional<QString> PresentFileDialog(QFileDialog& dialog) override;
  void PresentAbout(AboutDialog& about) override;
  QAction* PresentMenu(QMenu& menu, const QPoint& global_position) override;
};

// The texts of the boxes shown, in order.
std::vector<std::string> BoxTexts(const TestDialog& dialog);

}  // namespace qvx::test
