// The main window: construction, initialisation, message routing and the window's own events.
//
// A download runs on the user-interface thread for up to a minute. So that the window stays
// painted and the desktop does not take it for hung, the wall clock's idle hook and the title and
// progress updates pump the event queue while an operation runs. Pumping must not let the user
// start a second operation or end the dialog mid-way, so while busy an application-wide event
// filter drops every user input aimed at this window, and closing and ending the dialog are
// refused. Modal boxes and the file dialog are windows of their own and work as usual.
#include "app/main_dialog.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QWindow>

#include "app/resources/icons.h"
#include "app/resources/templates.h"
#include "download/controls.h"
#include "download/startup.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace qvx {
namespace {

// The system menu's close command; its low four bits are free, as for every system command.
constexpr int kCloseCommand = 0xF060;

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

// Sets a flag for as long as an operation runs and filters the window's input meanwhile.
class BusyScope {
 public:
  BusyScope(bool& busy, QObject& filter) : busy_(busy), filter_(filter) {
    busy_ = true;
    qApp->installEventFilter(&filter_);
  }
  ~BusyScope() {
    qApp->removeEventFilter(&filter_);
    busy_ = false;
  }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  bool& busy_;
  QObject& filter_;
};

}  // namespace

// Painting the minimised window's icon and the icon dragged with it are the window manager's
// job under Qt, so the map holds only the system command and the five download buttons.
const std::array<MainDialog::Route, 6> MainDialog::kMessageMap = {{
    {Message::kSysCommand, kAnySource, &MainDialog::OnSysCommand},
    {Message::kButtonClicked, control::kDownloadPicture, &MainDialog::OnDownloadPicture},
    {Message::kButtonClicked, control::kDownloadBanner, &MainDialog::OnDownloadBanner},
    {Message::kButtonClicked, control::kDownloadTestPattern, &MainDialog::OnDownloadTestPattern},
    {Message::kButtonClicked, control::kDownloadAudio, &MainDialog::OnDownloadAudio},
    {Message::kButtonClicked, control::kDownloadCountdown, &MainDialog::OnDownloadCountdown},
}};

MainDialog::MainDialog(Clock* clock, LibraryLoader* loader, QWidget* parent)
    : QDialog(parent),
      own_clock_(clock ? nullptr : std::make_unique<SystemClock>([this] { KeepAlive(); })),
      clock_(clock ? *clock : *own_clock_),
      own_loader_(loader ? nullptr : std::make_unique<SystemLibraryLoader>()),
      loader_(loader ? *loader : *own_loader_),
      driver_(*this, loader_),
      link_(driver_, clock_, *this),
      downloads_(link_, *this) {
  controls_ = BuildDialog(*this, resources::MainTemplate());
  for (const BuiltControl& control : controls_) {
    if (control.spec->id != resources::kNoId)
      by_id_[control.spec->id] = control.widget;
  }
  // Button clicks reach their handlers only through the message map.
  for (const Route& route : kMessageMap) {
    if (route.message != Message::kButtonClicked)
      continue;
    const int id = route.source;
    connect(&ControlAs<QPushButton>(id), &QPushButton::clicked, this,
            [this, id] { Dispatch(Message::kButtonClicked, id, id); });
  }
}

MainDialog::~MainDialog() = default;

QWidget* MainDialog::Control(int id) const {
  const auto found = by_id_.find(id);
  return found == by_id_.end() ? nullptr : found->second;
}

bool MainDialog::Dispatch(Message message, int source, int argument) {
  for (const Route& route : kMessageMap) {
    if (route.message == message && (route.source == kAnySource || route.source == source)) {
      (this->*route.handler)(argument);
      return true;
    }
  }
  return false;
}

void MainDialog::setVisible(bool visible) {
  if (visible && !initialised_) {
    initialised_ = true;
    OnInitDialog();
  }
  QDialog::setVisible(visible);
}

void MainDialog::OnInitDialog() {
  FillLists();
  AddSystemMenuEntry();
  setWindowIcon(resources::LoadIcon(resources::kApplicationIconId));

  DownloadState& state = downloads_.state();
  state.BannerNumber = 0;
  ControlAs<QComboBox>(control::kBannerCombo).setCurrentIndex(0);
  state.PatternNumber = 0;
  ControlAs<QComboBox>(control::kPatternCombo).setCurrentIndex(0);
  state.PictureIndex = 0;
  ControlAs<QComboBox>(control::kPictureCombo).setCurrentIndex(0);
  state.SectorIndex = 0;
  for (int id : control::kFrequencyCombos)
    ControlAs<QComboBox>(id).setCurrentIndex(0);

  for (int id : control::kAmplitudeEdits)
    SetText(id, "0.0");

  auto& progress = ControlAs<QProgressBar>(control::kProgressBar);
  progress.setRange(0, 100);
  progress.setValue(0);

  ConnectAndEnable(link_, *this);
  FocusFirstControl();
}

void MainDialog::FillLists() {
  for (const resources::ListItems& list : resources::InitialListItems()) {
    auto& combo = ControlAs<QComboBox>(list.list_id);
    for (std::string_view item : list.items) {
      combo.addItem(QString::fromUtf8(item.data(), static_cast<qsizetype>(item.size())));
    }
  }
}

void MainDialog::AddSystemMenuEntry() {
  // Linux gives applications no system menu, so the window offers the same entries in its context
  // menu (and the About entry on F1); on Windows the entry also goes into the real system menu.
  system_menu_.clear();
  system_menu_.addAction(QStringLiteral("&Close"))->setData(kCloseCommand);
  const QString text = QString::fromUtf8(resources::kAboutMenuText.data(),
                                         static_cast<qsizetype>(resources::kAboutMenuText.size()));
  if (text.isEmpty())
    return;
  system_menu_.addSeparator();
  system_menu_.addAction(text)->setData(resources::kAboutCommandId);
#ifdef Q_OS_WIN
  if (HMENU menu = GetSystemMenu(reinterpret_cast<HWND>(winId()), FALSE)) {
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, resources::kAboutCommandId, resources::kAboutMenuText.data());
  }
#endif
}

void MainDialog::FocusFirstControl() {
  for (const BuiltControl& control : controls_) {
    QWidget* widget = control.widget;
    if ((widget->focusPolicy() & Qt::TabFocus) && widget->isEnabled()) {
      widget->setFocus(Qt::TabFocusReason);
      return;
    }
  }
}

void MainDialog::SystemCommand(int command_id) {
  Dispatch(Message::kSysCommand, kAnySource, command_id);
}

void MainDialog::OnSysCommand(int command_id) {
  // A system-menu command that arrives while a download runs is input like any other.
  if (busy_)
    return;
  if ((command_id & 0xFFF0) == resources::kAboutCommandId) {
    AboutDialog about(this);
    PresentAbout(about);
    return;
  }
  if ((command_id & 0xFFF0) == kCloseCommand)
    close();
}

// Each operation reports its own outcome to the user; the window has nothing to add.
void MainDialog::OnDownloadPicture(int button_id) {
  RunOperation(button_id, [this] { downloads_.Run(Request(SlotKind::kPicture)); });
}
void MainDialog::OnDownloadBanner(int button_id) {
  RunOperation(button_id, [this] { downloads_.Run(Request(SlotKind::kBanner)); });
}
void MainDialog::OnDownloadTestPattern(int button_id) {
  RunOperation(button_id, [this] { downloads_.Run(Request(SlotKind::kPattern)); });
}
void MainDialog::OnDownloadAudio(int button_id) {
  RunOperation(button_id, [this] { downloads_.Run(Request(SlotKind::kAudio)); });
}
void MainDialog::OnDownloadCountdown(int button_id) {
  RunOperation(button_id, [this] { downloads_.Run(Request(SlotKind::kCountdown)); });
}

DownloadRequest MainDialog::Request(SlotKind kind) const {
  switch (kind) {
    case SlotKind::kPicture:
      return DownloadRequest::Picture(Selection(control::kPictureCombo));
    case SlotKind::kBanner:
      return DownloadRequest::Banner(Selection(control::kBannerCombo));
    case SlotKind::kCountdown:
      return DownloadRequest::Countdown();
    case SlotKind::kPattern:
      return DownloadRequest::Pattern(Selection(control::kPatternCombo));
    case SlotKind::kAudio:
      break;
  }
  AudioSettings audio;
  for (int ch = 0; ch < kAudioChannels; ++ch) {
    audio.tone_rows[ch] = Selection(control::kFrequencyCombos[ch]);
    audio.amplitudes[ch] = ControlAs<QLineEdit>(control::kAmplitudeEdits[ch]).text().toStdString();
  }
  return DownloadRequest::Audio(std::move(audio));
}

int MainDialog::Selection(int list_id) const {
  auto* list = qobject_cast<QComboBox*>(Control(list_id));
  return list ? list->currentIndex() : -1;
}

void MainDialog::RunOperation(int button_id, const std::function<void()>& operation) {
  if (busy_)
    return;  // one operation at a time, whatever reaches the window meanwhile
  {
    BusyScope scope(busy_, *this);
    operation();
  }
  // Disabling the focused button moved the focus along the tab chain, into the lists; give it
  // back, so Enter and the arrow keys act where the user left them.
  if (QWidget* button = Control(button_id); button != nullptr && button->isEnabled())
    button->setFocus(Qt::OtherFocusReason);
}

void MainDialog::KeepAlive() {
  if (busy_)
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
  if (busy_ && IsOwnInput(watched, *event)) {
    // Accepting a shortcut override keeps any shortcut from firing for the key.
    if (event->type() == QEvent::ShortcutOverride)
      event->accept();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void MainDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
    SystemCommand(resources::kAboutCommandId);
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
  if (busy_) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void MainDialog::done(int result) {
  if (busy_)
    return;
  QDialog::done(result);
}

void MainDialog::contextMenuEvent(QContextMenuEvent* event) {
  if (QAction* chosen = PresentMenu(system_menu_, event->globalPos())) {
    SystemCommand(chosen->data().toInt());
  }
}

#ifdef Q_OS_WIN
bool MainDialog::nativeEvent(const QByteArray& type, void* message, qintptr* result) {
  const auto* msg = static_cast<const MSG*>(message);
  if (msg->message == WM_SYSCOMMAND &&
      (static_cast<int>(msg->wParam) & 0xFFF0) == resources::kAboutCommandId) {
    SystemCommand(static_cast<int>(msg->wParam));
    *result = 0;
    return true;
  }
  return QDialog::nativeEvent(type, message, result);
}
#endif

}  // namespace qvx
