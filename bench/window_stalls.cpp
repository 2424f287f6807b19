// How live the window stays during real downloads: runs a banner and a picture download through
// the real main window on the virtual generator (with the generator's timing taken from the
// environment, e.g. QVX_VG_ERASE_MS=700), each started as a user starts it, through the X server:
// with a mouse click on the download button and with Return on the focused button, each once on a
// window that has settled and once 0.8 s after the "Download Complete" box of the download before
// was answered, on the button the window gave the focus back to. Reports the longest gaps between
// event-loop turns on the main thread from the input event to the end of the operation, how long
// the input took to reach the driver, the process's CPU time against wall time, and wall time
// against the fixed waits the downloads are made of. The user types the file's path into the file
// dialog key by key and answers it and the boxes with Return. Run through bench/window-stalls,
// which provides the X server.
//
// With QVX_STALL_TRACE=1 every input event that reaches the application, every window call of the
// operation that takes 2 ms or more, every stall of 40 ms or more and each title-less top-level
// window as it comes and goes is printed to standard error, in ms since the input.
#include <sys/resource.h>

#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "app/main_dialog.h"
#include "bench/x_input.h"
#include "window/controls.h"

namespace {

using qvx::MainDialog;

// How long a finger holds the button or key down.
constexpr int kHoldMs = 60;
// The quiet time before each input, in which the window settles (hover, focus, repaints).
constexpr int kSettleMs = 500;
// Stalls at least this long are printed with QVX_STALL_TRACE=1.
constexpr double kTracedStallMs = 40;
// An input that starts no operation within this time has not reached the window.
constexpr int kStartTimeoutMs = 5000;
// Between two keys typed into the file dialog (xdotool's default pace).
constexpr int kTypingMs = 12;
// From the box answered to the next input, in the runs started right after a box.
constexpr int kAfterBoxMs = 800;

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The time base of a run: milliseconds since its input event.
QElapsedTimer g_since_input;
// Since the last box was answered and went away.
QElapsedTimer g_since_box;
bool g_armed = false;
double g_first_driver_call_ms = -1;
const bool g_trace = [] {
  const char* value = std::getenv("QVX_STALL_TRACE");
  return value != nullptr && std::string(value) == "1";
}();

double MsSinceInput() {
  return static_cast<double>(g_since_input.nsecsElapsed()) / 1e6;
}

void NoteDriverCall() {
  if (g_armed && g_first_driver_call_ms < 0)
    g_first_driver_call_ms = MsSinceInput();
}

// The driver library as loaded, with the calls that start an operation's traffic noted.
d2xx::PurgeFn g_purge = nullptr;
d2xx::WriteFn g_write = nullptr;
d2xx::Status QVX_D2XX_CALL NotedPurge(d2xx::Handle handle, d2xx::Dword mask) {
  NoteDriverCall();
  return g_purge(handle, mask);
}
d2xx::Status QVX_D2XX_CALL NotedWrite(d2xx::Handle handle, void* buffer, d2xx::Dword count,
                                      d2xx::Dword* written) {
  NoteDriverCall();
  return g_write(handle, buffer, count, written);
}

class NotingLoader final : public qvx::LibraryLoader {
 public:
  void* Load() override { return inner_.Load(); }
  void* Find(void* library, const char* name) override {
    void* found = inner_.Find(library, name);
    if (found == nullptr)
      return nullptr;
    if (std::string(name) == "FT_Purge") {
      g_purge = reinterpret_cast<d2xx::PurgeFn>(found);
      return reinterpret_cast<void*>(&NotedPurge);
    }
    if (std::string(name) == "FT_Write") {
      g_write = reinterpret_cast<d2xx::WriteFn>(found);
      return reinterpret_cast<void*>(&NotedWrite);
    }
    return found;
  }

 private:
  qvx::SystemLibraryLoader inner_;
};

// The real clock, counting the whole seconds the downloads ask to wait.
class CountingClock final : public qvx::Clock {
 public:
  void BusyPause() override { inner_.BusyPause(); }
  void WaitSeconds(int32_t n) override {
    waited += n;
    inner_.WaitSeconds(n);
  }
  void WaitMilliseconds(int32_t n) override { inner_.WaitMilliseconds(n); }
  std::chrono::milliseconds Now() override { return inner_.Now(); }
  void Idle() override { inner_.Idle(); }

  MainDialog* dialog = nullptr;
  int waited = 0;

 private:
  qvx::SystemClock inner_{[this] {
    if (dialog != nullptr && dialog->busy())
      QCoreApplication::processEvents();
  }};
};

// Prints a window call of the operation that took long enough to matter.
class TracedCall {
 public:
  explicit TracedCall(const char* what) : what_(what), start_(MsSinceInput()) {}
  ~TracedCall() {
    const double end = MsSinceInput();
    if (g_trace && g_armed && end - start_ >= 2.0)
      std::fprintf(stderr, "  %8.1f .. %8.1f ms  %s\n", start_, end, what_);
  }
  TracedCall(const TracedCall&) = delete;
  TracedCall& operator=(const TracedCall&) = delete;

 private:
  const char* what_;
  double start_;
};

// Answers a modal box or file dialog as a user does: types `typed` into it key by key once it
// holds the keyboard focus, then presses Return, and again every 300 ms while it stays open (the
// first Return in the file dialog may only take the completion its file-name line offers). A
// window that is not answered within a few seconds (say, a warning on top of it) ends the run.
void Answer(QDialog& window, bench::XInput& input, const QString& typed = QString()) {
  auto* timer = new QTimer(&window);
  timer->setInterval(typed.isEmpty() ? 5 : kTypingMs);
  QElapsedTimer waited, since_press;
  waited.start();
  const std::string keys = typed.toStdString();
  size_t next_key = 0;
  QObject::connect(
      timer, &QTimer::timeout,
      [&window, &input, timer, waited, since_press, keys, next_key]() mutable {
        if (!window.isVisible() && since_press.isValid()) {
          g_since_box.start();
          timer->stop();
          timer->deleteLater();
        } else if (waited.elapsed() > kStartTimeoutMs + static_cast<int>(keys.size()) * kTypingMs) {
          std::fprintf(stderr, "the window \"%s\" did not take Return\n",
                       qPrintable(window.windowTitle()));
          std::fflush(stdout);
          std::_Exit(1);
        } else if (!window.isActiveWindow()) {
          return;
        } else if (next_key < keys.size()) {
          if (!input.TypeCharacter(keys[next_key++])) {
            std::fprintf(stderr, "the keyboard has no key for '%c'\n", keys[next_key - 1]);
            std::_Exit(1);
          }
        } else if (!since_press.isValid() || since_press.elapsed() >= 300) {
          input.ReturnKey(true);
          input.ReturnKey(false);
          since_press.start();
        }
      });
  timer->start();
}

// The main window with a user who picks `file` in the file dialog and confirms every box.
class BenchDialog final : public MainDialog {
 public:
  BenchDialog(qvx::Clock* clock, qvx::LibraryLoader* loader, bench::XInput& input)
      : MainDialog(clock, loader), input_(input) {}
  QString file;

  void SetTitle(std::string_view title) override {
    TracedCall call("SetTitle");
    MainDialog::SetTitle(title);
  }
  void SetProgress(int position) override {
    TracedCall call("SetProgress");
    MainDialog::SetProgress(position);
  }
  void EnableControl(int control_id, bool enabled) override {
    TracedCall call("EnableControl");
    MainDialog::EnableControl(control_id, enabled);
  }
  void SetCursor(qvx::CursorShape shape) override {
    TracedCall call("SetCursor");
    MainDialog::SetCursor(shape);
  }
  void Repaint() override {
    TracedCall call("Repaint");
    MainDialog::Repaint();
  }
  std::optional<std::string> ChooseFile(const qvx::FileFilter& filter) override {
    TracedCall call("ChooseFile (with the user's answer)");
    return MainDialog::ChooseFile(filter);
  }
  void ShowBox(std::string_view text, std::optional<std::string_view> caption,
               qvx::BoxIcon icon) override {
    TracedCall call("ShowBox (with the user's answer)");
    MainDialog::ShowBox(text, caption, icon);
  }

 protected:
  void PresentBox(QMessageBox& box) override {
    Answer(box, input_);
    MainDialog::PresentBox(box);
  }
  std::optional<QString> PresentFileDialog(QFileDialog& dialog) override {
    Answer(dialog, input_, QFileInfo(file).absoluteFilePath());
    return MainDialog::PresentFileDialog(dialog);
  }

 private:
  bench::XInput& input_;
};

// Prints the input events as the application receives them from the window system.
class InputTrace final : public QObject {
 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!g_armed || !watched->isWindowType())
      return false;
    const char* what = nullptr;
    switch (event->type()) {
      case QEvent::MouseButtonPress:
        what = "mouse press";
        break;
      case QEvent::MouseButtonRelease:
        what = "mouse release";
        break;
      case QEvent::KeyPress:
        what = "key press";
        break;
      case QEvent::KeyRelease:
        what = "key release";
        break;
      default:
        return false;
    }
    QObject* focus = QGuiApplication::focusObject();
    std::fprintf(stderr, "  %8.1f ms           %s reaches the focused %s\n", MsSinceInput(), what,
                 focus != nullptr ? focus->metaObject()->className() : "nothing");
    return false;
  }
};

// Prints each visible top-level window without a title other than the main window, the boxes
// and the file dialog as it comes and goes.
void TraceNamelessWindows(const QWidget& main) {
  static std::string shown;
  std::string now;
  for (const QWidget* window : QApplication::topLevelWidgets()) {
    if (window != &main && window->isVisible() && window->windowTitle().isEmpty() &&
        !qobject_cast<const QDialog*>(window))
      now += QStringLiteral(" %1 %2x%3")
                 .arg(QString::fromLatin1(window->metaObject()->className()))
                 .arg(window->width())
                 .arg(window->height())
                 .toStdString();
  }
  if (now != shown) {
    std::fprintf(stderr, "  %8.1f ms           title-less windows:%s\n", MsSinceInput(),
                 now.empty() ? " none" : now.c_str());
    shown = now;
  }
}

// A 720 x 576 24-bit BMP with a smooth gradient.
std::string WritePicture(const std::string& path) {
  const int width = 720, height = 576, row = width * 3;
  const uint32_t size = 54 + static_cast<uint32_t>(row * height);
  std::vector<uint8_t> bytes(size, 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
      bytes[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  bytes[0] = 'B';
  bytes[1] = 'M';
  put32(2, size);
  put32(10, 54);
  put32(14, 40);
  put32(18, width);
  put32(22, height);
  bytes[26] = 1;
  bytes[28] = 24;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < 3; ++c)
        bytes[54 + y * row + x * 3 + c] = static_cast<uint8_t>((x / 3 + y / 3 + c * 60) & 0xFF);
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), size);
  return path;
}

// Runs the event loop for `ms`, as a window that waits for its user does.
void Settle(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

// Waits until the window is shown, painted and holds the keyboard focus.
bool WaitActive(QWidget& window) {
  QElapsedTimer waited;
  waited.start();
  while (!window.isActiveWindow() && waited.elapsed() < 5000) {
    window.activateWindow();
    Settle(50);
  }
  return window.isActiveWindow();
}

// How the run is started: a click or Return, on a window that has settled (the pointer moved onto
// the button or the focus put on it, then half a second of quiet) or 0.8 s after the box of the
// run before went away, as the window left things then.
enum class Start { kClick, kReturn, kClickAfterBox, kReturnAfterBox };

bool IsClick(Start start) {
  return start == Start::kClick || start == Start::kClickAfterBox;
}

struct Figures {
  bool started = false;
  double wall = 0, cpu = 0, max_stall_ms = 0, p99_stall_ms = 0, first_call_ms = 0;
  int waited = 0;
  size_t turns = 0;
};

// Why a run could not be started, or nothing.
std::optional<std::string> Prepare(BenchDialog& dialog, bench::XInput& input, QPushButton& button,
                                   Start start) {
  if (start == Start::kClickAfterBox || start == Start::kReturnAfterBox) {
    // The user acts again soon after the box is gone, on the window as it stands: the focus back
    // on the button, the pointer where the last click left it. With no window manager nothing
    // makes the window active again, and the X server sends the keys to the window under the
    // pointer.
    if (!g_since_box.isValid())
      return "no box was answered before";
    Settle(std::max<int>(0, kAfterBoxMs - static_cast<int>(g_since_box.elapsed())));
    if (start == Start::kReturnAfterBox && dialog.focusWidget() != &button)
      return "the focus is not back on the button after the box";
    if (start == Start::kClickAfterBox &&
        !button.rect().contains(button.mapFromGlobal(QCursor::pos())))
      return "the pointer is not on the button";
    return std::nullopt;
  }
  // The user's way to the button: the pointer on it, or the keyboard focus on it (as after Tab).
  // Either way the window is the active one, as the boxes of the last run leave it.
  if (!WaitActive(dialog))
    return "the window did not get the keyboard focus";
  if (start == Start::kClick) {
    const QPoint centre = button.mapToGlobal(button.rect().center());
    input.MovePointer(centre.x(), centre.y());
  } else {
    button.setFocus(Qt::TabFocusReason);
  }
  Settle(kSettleMs);
  return std::nullopt;
}

Figures Run(BenchDialog& dialog, CountingClock& clock, bench::XInput& input, int button_id,
            const QString& file, Start start) {
  auto* button = qobject_cast<QPushButton*>(dialog.Control(button_id));
  dialog.file = file;
  clock.waited = 0;
  if (const std::optional<std::string> why = Prepare(dialog, input, *button, start)) {
    std::fprintf(stderr, "%s\n", why->c_str());
    return {};
  }

  // A 1 ms timer on the main thread: the gap between two of its turns is how long the event loop
  // was not served. The run ends at the first turn after the operation.
  Figures f;
  std::vector<double> gaps;
  QElapsedTimer since_last;
  QEventLoop loop;
  QTimer ticker;
  ticker.setTimerType(Qt::PreciseTimer);
  ticker.setInterval(1);
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    const double gap = static_cast<double>(since_last.nsecsElapsed()) / 1e6;
    gaps.push_back(gap);
    since_last.restart();
    if (g_trace && gap >= kTracedStallMs) {
      const double end = MsSinceInput();
      std::fprintf(stderr, "  %8.1f .. %8.1f ms  no event-loop turn\n", end - gap, end);
    }
    if (g_trace)
      TraceNamelessWindows(dialog);
    if (dialog.busy())
      f.started = true;
    else if (f.started)
      loop.quit();
  });
  QTimer give_up;
  give_up.setSingleShot(true);
  QObject::connect(&give_up, &QTimer::timeout, [&] {
    if (!f.started)
      loop.quit();
  });
  const auto press = [&](bool down) {
    if (IsClick(start))
      input.LeftButton(down);
    else
      input.ReturnKey(down);
  };

  // The click happens when the button is let go, the key press acts at once.
  double trigger_ms = 0;
  g_first_driver_call_ms = -1;
  ticker.start();
  give_up.start(kStartTimeoutMs);
  const double cpu_before = CpuSeconds();
  g_since_input.start();
  since_last.start();
  g_armed = true;
  press(true);
  QTimer::singleShot(kHoldMs, [&] {
    if (IsClick(start))
      trigger_ms = MsSinceInput();
    press(false);
  });
  loop.exec();
  g_armed = false;
  f.wall = static_cast<double>(g_since_input.nsecsElapsed()) / 1e9;
  f.cpu = CpuSeconds() - cpu_before;
  ticker.stop();
  // A button or key still down (an operation that never started) is let go.
  press(false);
  if (!f.started)
    return f;
  std::sort(gaps.begin(), gaps.end());
  f.turns = gaps.size();
  f.max_stall_ms = gaps.back();
  f.p99_stall_ms = gaps[gaps.size() * 99 / 100];
  f.first_call_ms = g_first_driver_call_ms - trigger_ms;
  f.waited = clock.waited;
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s BANNER.bmp WORK_DIR\n", argv[0]);
    return 2;
  }
  if (QGuiApplication::platformName() != QLatin1String("xcb")) {
    std::fprintf(stderr, "needs an X server (QT_QPA_PLATFORM=xcb), not %s\n",
                 qPrintable(QGuiApplication::platformName()));
    return 2;
  }
  bench::XInput input;
  if (!input.ok()) {
    std::fprintf(stderr, "the X server has no XTest extension\n");
    return 1;
  }
  const QString banner = QString::fromLocal8Bit(argv[1]);
  const QString picture =
      QString::fromStdString(WritePicture(std::string(argv[2]) + "/window-stalls-picture.bmp"));

  InputTrace input_trace;
  if (g_trace)
    app.installEventFilter(&input_trace);
  CountingClock clock;
  NotingLoader loader;
  BenchDialog dialog(&clock, &loader, input);
  clock.dialog = &dialog;
  dialog.show();
  if (!dialog.link().connected()) {
    std::fprintf(stderr, "the virtual generator did not open\n");
    return 1;
  }
  if (!WaitActive(dialog)) {
    std::fprintf(stderr, "the window did not get the keyboard focus\n");
    return 1;
  }
  std::printf(
      "| Download | Started by | Wall | Fixed waits | Wall - waits | Click or key to first driver "
      "call | "
      "Longest stall | 99th pct stall | Event-loop turns | CPU / wall |\n"
      "|---|---|---|---|---|---|---|---|---|---|\n");
  const struct {
    const char* name;
    int button;
    QString file;
  } downloads[] = {{"banner", qvx::control::kDownloadBanner, banner},
                   {"picture", qvx::control::kDownloadPicture, picture}};
  const struct {
    const char* name;
    Start start;
  } starts[] = {{"click", Start::kClick},
                {"click after the box", Start::kClickAfterBox},
                {"Return after the box", Start::kReturnAfterBox},
                {"Return", Start::kReturn}};
  // QVX_STALL_DOWNLOADS=banner (or picture) runs only that download.
  const char* only = std::getenv("QVX_STALL_DOWNLOADS");
  for (const auto& download : downloads) {
    if (only != nullptr && *only != '\0' && std::string(only) != download.name)
      continue;
    for (const auto& start : starts) {
      if (g_trace)
        std::fprintf(stderr, "%s, %s:\n", download.name, start.name);
      const Figures f = Run(dialog, clock, input, download.button, download.file, start.start);
      if (!f.started) {
        std::fprintf(stderr, "the %s of the %s button started no download\n", start.name,
                     download.name);
        return 1;
      }
      std::printf(
          "| %s | %s | %.2f s | %d s | %.2f s | %.1f ms | %.1f ms | %.2f ms | %zu | %.1f %% |\n",
          download.name, start.name, f.wall, f.waited, f.wall - f.waited, f.first_call_ms,
          f.max_stall_ms, f.p99_stall_ms, f.turns, 100.0 * f.cpu / f.wall);
      std::fflush(stdout);
    }
  }
  return 0;
}
