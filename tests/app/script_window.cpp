// Playing a window script on the Qt window; see script_window.h.
#include "tests/app/script_window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QWindow>
#include <cstdio>

#include "app/application_title.h"
#include "window/controls.h"

namespace qvx::test {
namespace {

using script::Step;
using script::StepKind;

void Log(const std::string& line) {
  std::fputs((line + "\n").c_str(), stdout);
  std::fflush(stdout);
}

Qt::Key QtKey(int virtual_key) {
  switch (virtual_key) {
    case 0x0D:
      return Qt::Key_Return;
    case 0x1B:
      return Qt::Key_Escape;
    case 0x20:
      return Qt::Key_Space;
    case 0x09:
      return Qt::Key_Tab;
    case 0x70:
      return Qt::Key_F1;
    case 0x26:
      return Qt::Key_Up;
    default:
      return Qt::Key_Down;
  }
}

std::string LoggedCaption(const QString& caption) {
  return script::LoggedCaption(caption.toStdString(), ApplicationTitle().toStdString());
}

}  // namespace

ScriptWindow::ScriptWindow(Clock& clock, LibraryLoader& loader, std::vector<Step> steps)
    : MainDialog(&clock, &loader), steps_(std::move(steps)) {}

const Step* ScriptWindow::Next() const {
  return failed_ || next_ >= steps_.size() ? nullptr : &steps_[next_];
}

bool ScriptWindow::Play() {
  show();
  activateWindow();
  Watch();
  while (const Step* step = Next()) {
    ++next_;
    if (!Act(*step))
      break;
  }
  if (!closed_ && !failed_)
    close();
  return !failed_;
}

void ScriptWindow::CatchUp() {
  while (const Step* step = Next()) {
    const bool ready = !script::IsWait(step->kind) ||
                       (step->kind == StepKind::kWaitTitle && step->text == last_title_);
    if (!ready)
      return;
    ++next_;
    Act(*step);
  }
}

bool ScriptWindow::Idle() const {
  for (int id : control::kDownloadButtons) {
    if (!ControlEnabled(id))
      return false;
  }
  return !busy() && isVisible();
}

bool ScriptWindow::Act(const Step& step) {
  QWidget* control = Control(step.id);
  const bool needs_control = step.kind == StepKind::kSelect || step.kind == StepKind::kType ||
                             step.kind == StepKind::kClick;
  if (closed_ && step.kind != StepKind::kExpectClosed) {
    Fail(step, "the main window is gone");
    return false;
  }
  if (needs_control && !control) {
    Fail(step, "no control " + std::to_string(step.id));
    return false;
  }
  switch (step.kind) {
    case StepKind::kSelect:
      if (auto* list = qobject_cast<QComboBox*>(control))
        list->setCurrentIndex(step.number);
      return true;
    case StepKind::kType:
      if (auto* edit = qobject_cast<QLineEdit*>(control))
        edit->setText(QString::fromStdString(step.text));
      return true;
    case StepKind::kClick:
      QTest::mouseClick(control, Qt::LeftButton);
      return true;
    case StepKind::kKey: {
      QWidget* focused = QApplication::focusWidget() ? QApplication::focusWidget() : focusWidget();
      QTest::keyClick(focused ? focused : this, QtKey(*script::VirtualKey(step.text)));
      return true;
    }
    case StepKind::kSysCommand:
      SystemCommand(step.id);
      return true;
    case StepKind::kClose:
      // What the window system sends for WM_CLOSE or the close box.
      if (windowHandle() != nullptr)
        windowHandle()->close();
      return true;
    case StepKind::kPause:
      // No clock here waits: the window already stands as it will after the pause.
      return true;
    case StepKind::kWaitTitle:
      if (last_title_ != step.text)
        Fail(step, "the title is " + last_title_);
      break;
    case StepKind::kWaitIdle:
      if (!Idle())
        Fail(step, "the download buttons stay off");
      break;
    case StepKind::kExpectClosed:
      if (isVisible()) {
        Fail(step, "the window is still open");
      } else {
        closed_ = true;
        Log("closed");
      }
      break;
    case StepKind::kFile:
    case StepKind::kCancelFile:
    case StepKind::kBox:
    case StepKind::kAbout:
      Fail(step, "the window it waits for never came");
      break;
  }
  return !failed_;
}

const Step* ScriptWindow::Take(StepKind kind, StepKind other, const std::string& window) {
  const Step* step = Next();
  if (!step)
    return nullptr;
  if (step->kind != kind && step->kind != other) {
    Fail(*step, "unexpected window: " + window);
    return nullptr;
  }
  ++next_;
  return step;
}

void ScriptWindow::Fail(const Step& step, const std::string& why) {
  if (!failed_)
    Log(script::FailLine(step, why));
  failed_ = true;
}

void ScriptWindow::Watch() {
  // The driver sees the window once it is on screen; the start-up's boxes come before that.
  if (!isVisible())
    return;
  if (const std::string title = windowTitle().toStdString(); title != last_title_) {
    last_title_ = title;
    Log(script::TitleLine(title));
  }
  if (const int position = Progress(); position != last_progress_) {
    last_progress_ = position;
    Log(script::ProgressLine(position));
  }
}

void ScriptWindow::SetTitle(std::string_view title) {
  MainDialog::SetTitle(title);
  Watch();
  if (busy())
    CatchUp();
}

void ScriptWindow::SetProgress(int position) {
  MainDialog::SetProgress(position);
  Watch();
  if (busy())
    CatchUp();
}

int ScriptWindow::Progress() const {
  const auto* bar = qobject_cast<const QProgressBar*>(Control(control::kProgressBar));
  return bar ? bar->value() : 0;
}

void ScriptWindow::PresentBox(QMessageBox& box) {
  const std::string line =
      script::BoxLine(LoggedCaption(box.windowTitle()), box.text().toStdString());
  // The box closes when this returns: the user pressed OK, or the run already failed.
  if (Take(StepKind::kBox, StepKind::kBox, line))
    Log(line);
}

std::optional<QString> ScriptWindow::PresentFileDialog(QFileDialog& dialog) {
  const std::string line = script::FileDialogLine(dialog.nameFilters().join(";").toStdString());
  const Step* step = Take(StepKind::kFile, StepKind::kCancelFile, line);
  if (!step)
    return std::nullopt;
  Log(line);
  if (step->kind == StepKind::kCancelFile)
    return std::nullopt;
  // A script's relative path is relative to the working folder, as for the Win32 driver.
  return QDir::current().absoluteFilePath(QString::fromStdString(step->text));
}

void ScriptWindow::PresentAbout(AboutDialog& about) {
  std::vector<std::string> texts;
  QPushButton* ok = nullptr;
  for (const BuiltControl& control : about.controls()) {
    if (auto* label = qobject_cast<QLabel*>(control.widget); label && !label->text().isEmpty()) {
      texts.push_back(label->text().toStdString());
    } else if (auto* button = qobject_cast<QPushButton*>(control.widget)) {
      texts.push_back(button->text().toStdString());
      ok = button;
    }
  }
  const std::string line = script::AboutLine(LoggedCaption(about.windowTitle()), texts);
  if (Take(StepKind::kAbout, StepKind::kAbout, line))
    Log(line);
  if (ok)
    ok->click();
}

}  // namespace qvx::test
