// The Qt window's controls, title, cursor, boxes and file-open dialog, as the window core asks for
// them.
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>

#include "app/application_title.h"
#include "app/main_dialog.h"
#include "app/qt_text.h"
#include "window/controls.h"

namespace qvx {

void MainDialog::AddListItem(int list_id, std::string_view text) {
  if (auto* list = ControlAs<QComboBox>(list_id))
    list->addItem(ToQString(text));
}

void MainDialog::SelectRow(int list_id, int row) {
  if (auto* list = ControlAs<QComboBox>(list_id))
    list->setCurrentIndex(row);
}

int MainDialog::SelectedRow(int list_id) const {
  const auto* list = ControlAs<QComboBox>(list_id);
  return list ? list->currentIndex() : -1;
}

void MainDialog::SetText(int edit_id, std::string_view text) {
  if (auto* edit = ControlAs<QLineEdit>(edit_id))
    edit->setText(ToQString(text));
}

std::string MainDialog::Text(int edit_id) const {
  const auto* edit = ControlAs<QLineEdit>(edit_id);
  return edit ? edit->text().toStdString() : std::string();
}

void MainDialog::SetProgress(int position) {
  ControlAs<QProgressBar>(control::kProgressBar)->setValue(position);
}

void MainDialog::EnableControl(int control_id, bool enabled) {
  if (QWidget* widget = Control(control_id))
    widget->setEnabled(enabled);
}

bool MainDialog::ControlEnabled(int control_id) const {
  const QWidget* widget = Control(control_id);
  return widget != nullptr && widget->isEnabled();
}

void MainDialog::FocusControl(int control_id) {
  if (QWidget* widget = Control(control_id))
    widget->setFocus(Qt::OtherFocusReason);
}

void MainDialog::SetTitle(std::string_view title) {
  setWindowTitle(ToQString(title));
}

void MainDialog::SetCursor(CursorShape shape) {
  setCursor(shape == CursorShape::kWait ? Qt::WaitCursor : Qt::ArrowCursor);
}

void MainDialog::Repaint() {
  repaint();
}

void MainDialog::ShowBox(std::string_view text, std::optional<std::string_view> caption,
                         BoxIcon icon) {
  // A modal box owned by the main window with an OK button only.
  QMessageBox box(this);
  box.setWindowTitle(caption ? ToQString(*caption) : ApplicationTitle());
  box.setTextFormat(Qt::PlainText);
  box.setText(ToQString(text));
  box.setIcon(icon == BoxIcon::kInformation ? QMessageBox::Information : QMessageBox::NoIcon);
  box.setStandardButtons(QMessageBox::Ok);
  box.setDefaultButton(QMessageBox::Ok);
  box.setWindowModality(Qt::ApplicationModal);
  PresentBox(box);
}

std::optional<std::string> MainDialog::ChooseFile(const FileFilter& filter) {
  // One dialog serves every operation: building a file dialog takes 10 to 30 ms and tearing one
  // down (its file-system model joins a worker thread) up to 100 ms, all of it on this thread in
  // the middle of an operation. The window owns it only while it is up, so it never counts among
  // the window's controls, and each use starts as a new dialog would, with no file filled in.
  QFileDialog& dialog = *file_dialog_;
  dialog.setParent(this, dialog.windowFlags());
  auto* name_edit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  if (name_edit != nullptr)
    name_edit->clear();
  for (auto* view : dialog.findChildren<QAbstractItemView*>()) {
    if (view->objectName() == QLatin1String("listView") ||
        view->objectName() == QLatin1String("treeView"))
      view->clearSelection();
  }
  // Qt reads the pattern from the parentheses of the display name, as in "Banner files(*.bmp)";
  // a name without them gets the pattern appended.
  QString name = ToQString(filter.name);
  const QString pattern = ToQString(filter.pattern);
  if (!name.endsWith(QLatin1Char('(') + pattern + QLatin1Char(')'))) {
    name += QStringLiteral(" (") + pattern + QLatin1Char(')');
  }
  dialog.setNameFilter(name);
  const std::optional<QString> chosen = PresentFileDialog(dialog);
  // A typed path outlives the dialog in its file-name line, and when the dialog's model has read
  // the path's folder (on its worker thread, often after the dialog was accepted) the line's
  // completer opens its list of matches: a title-less window of its own over a dialog no longer
  // on screen, up until the next window takes the focus. An empty line leaves it nothing to match.
  if (name_edit != nullptr) {
    name_edit->clear();
    if (QCompleter* completer = name_edit->completer())
      completer->popup()->hide();
  }
  dialog.setParent(nullptr, dialog.windowFlags());
  if (!chosen || chosen->isEmpty())
    return std::nullopt;
  // The operations open the file with the C++ library: hand over the name in the file system's
  // own encoding.
  return QFile::encodeName(*chosen).toStdString();
}

void MainDialog::PresentBox(QMessageBox& box) {
  box.exec();
}

std::optional<QString> MainDialog::PresentFileDialog(QFileDialog& dialog) {
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return std::nullopt;
  return dialog.selectedFiles().constFirst();
}

void MainDialog::PresentAbout(AboutDialog& about) {
  about.exec();
}

QAction* MainDialog::PresentMenu(QMenu& menu, const QPoint& global_position) {
  return menu.exec(global_position);
}

}  // namespace qvx
