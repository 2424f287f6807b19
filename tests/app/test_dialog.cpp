#include "tests/app/test_dialog.h"

#include <QAbstractButton>
#include <QFileSystemModel>
#include <QLabel>
#include <QPushButton>

namespace qvx::test {
namespace {

std::string IconName(QMessageBox::Icon icon) {
  switch (icon) {
    case QMessageBox::NoIcon:
      return "no icon";
    case QMessageBox::Information:
      return "information";
    case QMessageBox::Warning:
      return "warning";
    case QMessageBox::Critical:
      return "critical";
    case QMessageBox::Question:
      return "question";
  }
  return "?";
}

}  // namespace

void TestDialog::SetTitle(std::string_view title) {
  titles.emplace_back(title);
  log.push_back("title " + std::string(title));
  MainDialog::SetTitle(title);
  if (on_shown)
    on_shown(log.back());
}

void TestDialog::SetProgress(int position) {
  progress.push_back(position);
  MainDialog::SetProgress(position);
  if (on_shown)
    on_shown("progress " + std::to_string(position));
}

void TestDialog::PresentBox(QMessageBox& box) {
  boxes.push_back({box.text(), box.windowTitle(), box.icon(), box.standardButtons(),
                   box.parentWidget() == this, box.windowModality() != Qt::NonModal});
  log.push_back("box " + box.text().toStdString() + " | " + box.windowTitle().toStdString() +
                " | " + IconName(box.icon()));
  if (on_box)
    on_box(box);
}

std::optional<QString> TestDialog::PresentFileDialog(QFileDialog& dialog) {
  FileDialogRecord record{};
  record.name_filters = dialog.nameFilters();
  if (auto* model = dialog.findChild<QFileSystemModel*>())
    record.model_patterns = model->nameFilters();
  record.accept_mode = dialog.acceptMode();
  record.file_mode = dialog.fileMode();
  record.read_only = dialog.testOption(QFileDialog::ReadOnly);
  record.default_suffix = dialog.defaultSuffix();
  record.preselected = dialog.selectedFiles();
  record.owned_by_window = dialog.parentWidget() == this;
  file_dialogs.push_back(record);
  log.push_back("file " + dialog.nameFilters().join(";").toStdString());
  if (on_file_dialog)
    on_file_dialog(dialog);
  if (file_answers.empty())
    return std::nullopt;
  // Taken as a plain string: GCC cannot see through a copied std::optional<QString> and warns.
  const bool chosen = file_answers.front().has_value();
  const QString answer = chosen ? *file_answers.front() : QString();
  file_answers.pop_front();
  if (!chosen)
    return std::nullopt;
  return answer;
}

void TestDialog::PresentAbout(AboutDialog& about) {
  AboutRecord record{about.windowTitle(), {}, about.result(), about.parentWidget() == this};
  for (const BuiltControl& control : about.controls()) {
    if (auto* label = qobject_cast<QLabel*>(control.widget); label && label->pixmap().isNull()) {
      record.texts << label->text();
    } else if (auto* button = qobject_cast<QAbstractButton*>(control.widget)) {
      record.texts << button->text();
    }
  }
  abouts.push_back(record);
  log.push_back("about");
  // The user presses OK.
  for (const BuiltControl& control : about.controls()) {
    if (auto* button = qobject_cast<QPushButton*>(control.widget))
      button->click();
  }
}

QAction* TestDialog::PresentMenu(QMenu& menu, const QPoint&) {
  QStringList entries;
  QAction* chosen = nullptr;
  for (QAction* action : menu.actions()) {
    entries << (action->isSeparator() ? QStringLiteral("-") : action->text());
    if (!action->isSeparator() && action->text() == menu_choice)
      chosen = action;
  }
  menus.push_back(entries);
  return chosen;
}

std::vector<std::string> BoxTexts(const TestDialog& dialog) {
  std::vector<std::string> texts;
  for (const BoxRecord& box : dialog.boxes)
    texts.push_back(box.text.toStdString());
  return texts;
}

}  // namespace qvx::test
