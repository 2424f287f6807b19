// The main window on Qt: construction and the window's own events, forwarded to the window core.
// While the core runs an operation it pumps the event queue (see window/window_core.cpp); an
// application-wide event filter then drops every user input aimed at this window, and ending the
// dialog is refused; a close asked for (the close box, Escape) is kept until the operation ends.
#include "app/main_dialog.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QPushButton>
#include <QWindow>

#include "app/resources/icons.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace qvx {
namespace {

bool IsUserInput(QEvent::Type type) {
  switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
      return true;
    default:
      return false;
  }
}

}  // namespace

MainDialog::MainDialog(Clock* clock, LibraryLoader* loader, QWidget* parent)
    : QDialog(parent),
      own_loader_(loader ? nullptr : std::make_unique<SystemLibraryLoader>()),
      core_(*this, loader ? *loader : *own_loader_, clock) {
  controls_ = BuildDialog(*this, resources::MainTemplate());
  for (const BuiltControl& control : controls_) {
    if (control.spec->id != resources::kNoId)
      by_id_[control.spec->id] = control.widget;
  }
  // Every push button forwards its click; the core knows which ones start a download.
  for (const BuiltControl& control : controls_) {
    if (auto* button = qobject_cast<QPushButton*>(control.widget)) {
      const int id = control.spec->id;
      connect(button, &QPushButton::clicked, this, [this, id] { core_.Clicked(id); });
    }
  }
}

MainDialog::~MainDialog() = default;

QWidget* MainDialog::Control(int id) const {
  const auto found = by_id_.find(id);
  return found == by_id_.end() ? nullptr : found->second;
}

void MainDialog::setVisible(bool visible) {
  if (visible && !initialised_) {
    initialised_ = true;
    file_dialog_ = std::make_unique<QFileDialog>();
    file_dialog_->setAcceptMode(QFileDialog::AcceptOpen);
    file_dialog_->setFileMode(QFileDialog::ExistingFile);
    file_dialog_->setOption(QFileDialog::ReadOnly);
    file_dialog_->setDefaultSuffix(QString());
    core_.Initialise();
  }
  QDialog::setVisible(visible);
}

void MainDialog::AddSystemMenuEntry(std::string_view text, int command_id) {
  // Linux gives applications no system menu, so the window offers the same entries in its context
  // menu (and the About entry on F1); on Windows the entry also goes into the real system menu.
  system_menu_.clear();
  system_menu_.addAction(QStringLiteral("&Close"))->setData(WindowCore::kCloseCommand);
  system_menu_.addSeparator();
  system_menu_.addAction(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())))
      ->setData(command_id);
#ifdef Q_OS_WIN
  if (HMENU menu = GetSystemMenu(reinterpret_cast<HWND>(winId()), FALSE)) {
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, command_id, std::string(text).c_str());
  }
#endif
}

void MainDialog::SetIcon(int icon_id) {
  setWindowIcon(resources::LoadIcon(icon_id));
}

void MainDialog::RunAbout() {
  AboutDialog about(this);
  PresentAbout(about);
}

void MainDialog::Close() {
  close();
}

void MainDialog::SetInputEnabled(bool enabled) {
  if (enabled)
    qApp->removeEventFilter(this);
  else
    qApp->installEventFilter(this);
}

void MainDialog::ProcessPendingEvents() {
  QCoreApplication::processEvents();
}

bool MainDialog::IsOwnInput(QObject* watched, const QEvent& event) const {
  if (!IsUserInput(event.type()))
    return false;
  if (windowHandle() != nullptr && watched == static_cast<QObject*>(windowHandle()))
    return true;
  // Shortcuts and actions are plain objects owned by a widget: judge them by their widget.
  for (QObject* object = watched; object != nullptr; object = object->parent()) {
    if (object->isWidgetType())
      return static_cast<QWidget*>(object)->window() == this;
  }
  return false;
}

bool MainDialog::eventFilter(QObject* watched, QEvent* event) {
  if (core_.busy() && IsOwnInput(watched, *event)) {
    // Accepting a shortcut override keeps any shortcut from firing for the key.
    if (event->type() == QEvent::ShortcutOverride)
      event->accept();
    // Escape is a close like the close box's, kept for when the operation has ended.
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Cancel))
      core_.EndRequested();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void MainDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
    core_.HelpKey();
    return;
  }
  if (event->matches(QKeySequence::Cancel)) {
    reject();
    return;
  }
  // Enter that no control took (a focused push button takes its own) is the dialog's OK.
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
    accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void MainDialog::closeEvent(QCloseEvent* event) {
  if (core_.busy()) {
    // Never in the middle of an operation, but as soon as it has ended.
    event->ignore();
    core_.EndRequested();
    return;
  }
  QDialog::closeEvent(event);
}

void MainDialog::done(int result) {
  if (core_.busy())
    return;
  QDialog::done(result);
}

void MainDialog::contextMenuEvent(QContextMenuEvent* event) {
  if (QAction* chosen = PresentMenu(system_menu_, event->globalPos()))
    core_.SystemCommand(chosen->data().toInt());
}

#ifdef Q_OS_WIN
bool MainDialog::nativeEvent(const QByteArray& type, void* message, qintptr* result) {
  const auto* msg = static_cast<const MSG*>(message);
  if (msg->message == WM_SYSCOMMAND &&
      (static_cast<int>(msg->wParam) & 0xFFF0) == resources::kAboutCommandId) {
    core_.SystemCommand(static_cast<int>(msg->wParam));
    *result = 0;
    return true;
  }
  return QDialog::nativeEvent(type, message, result);
}
#endif

}  // namespace qvx
