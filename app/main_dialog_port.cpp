// The window side of the download operations: title, progress, buttons, cursor, list and edit
// contents, message boxes and the file-open dialog.
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>

#include "app/application_title.h"
#include "app/main_dialog.h"
#include "download/controls.h"

namespace qvx {
namespace {

QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A modal box owned by the main window with an OK button only.
void SetUpBox(QMessageBox& box, std::string_view text, const QString& caption,
              QMessageBox::Icon icon) {
  box.setWindowTitle(caption);
  box.setTextFormat(Qt::PlainText);
  box.setText(ToQString(text));
  box.setIcon(icon);
  box.setStandardButtons(QMessageBox::Ok);
  box.setDefaultButton(QMessageBox::Ok);
  box.setWindowModality(Qt::ApplicationModal);
}

}  // namespace

void MainDialog::ShowMessage(std::string_view text) {
  QMessageBox box(this);
  SetUpBox(box, text, ApplicationTitle(), QMessageBox::NoIcon);
  PresentBox(box);
}

void MainDialog::ShowInformation(std::string_view text, std::string_view caption) {
  QMessageBox box(this);
  SetUpBox(box, text, ToQString(caption), QMessageBox::Information);
  PresentBox(box);
}

void MainDialog::SetTitle(std::string_view title) {
  setWindowTitle(ToQString(title));
  KeepAlive();
}

void MainDialog::SetProgress(int position) {
  ControlAs<QProgressBar>(control::kProgressBar).setValue(position);
  KeepAlive();
}

void MainDialog::EnableControl(int control_id, bool enabled) {
  if (QWidget* widget = Control(control_id))
    widget->setEnabled(enabled);
}

void MainDialog::ShowWaitCursor() {
  // The wait cursor means "an operation runs". A window without a generator keeps its buttons
  // off for good, but its lists, edits and About box still work, so it keeps the arrow.
  if (busy_)
    setCursor(Qt::WaitCursor);
  ++cursor_display_count_;
  KeepAlive();
}

void MainDialog::ShowArrowCursor() {
  setCursor(Qt::ArrowCursor);
  ++cursor_display_count_;
}

void MainDialog::Repaint() {
  repaint();
  KeepAlive();
}

void MainDialog::ShowAmplitude(int channel, std::string_view text) {
  SetText(control::kAmplitudeEdits.at(static_cast<size_t>(channel - 1)), text);
}

void MainDialog::SetText(int edit_id, std::string_view text) {
  if (auto* edit = qobject_cast<QLineEdit*>(Control(edit_id)))
    edit->setText(ToQString(text));
}

std::optional<std::string> MainDialog::ChooseFile(const FileFilter& filter) {
  QFileDialog dialog(this);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setOption(QFileDialog::ReadOnly);
  dialog.setDefaultSuffix(QString());
  // Qt reads the pattern from the parentheses of the display name, as in "Banner files(*.bmp)";
  // a name without them gets the pattern appended.
  QString name = ToQString(filter.name);
  const QString pattern = ToQString(filter.pattern);
  if (!name.endsWith(QLatin1Char('(') + pattern + QLatin1Char(')'))) {
    name += QStringLiteral(" (") + pattern + QLatin1Char(')');
  }
  dialog.setNameFilter(name);
  const std::optional<QString> chosen = PresentFileDialog(dialog);
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
