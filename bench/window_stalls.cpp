// How live the window stays during real downloads: runs a banner and a picture download through
// the real main window on the virtual generator (with the generator's timing taken from the
// environment, e.g. QVX_VG_ERASE_MS=700) and reports the longest gaps between event-loop turns
// on the main thread, the process's CPU time against wall time, and wall time against the
// fixed waits the downloads are made of. Run through bench/window-stalls.
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "app/main_dialog.h"
#include "window/controls.h"

namespace {

using qvx::MainDialog;

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The real clock, counting the whole seconds the downloads ask to wait.
class CountingClock final : public qvx::Clock {
 public:
  void BusyPause() override { inner_.BusyPause(); }
  void WaitSeconds(int32_t n) override {
    waited += n;
    inner_.WaitSeconds(n);
  }
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

// The main window with a user who picks `file` and dismisses every box at once.
class BenchDialog final : public MainDialog {
 public:
  using MainDialog::MainDialog;
  QString file;

 protected:
  void PresentBox(QMessageBox&) override {}
  std::optional<QString> PresentFileDialog(QFileDialog&) override { return file; }
};

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

struct Figures {
  double wall = 0, cpu = 0, max_stall_ms = 0, p99_stall_ms = 0;
  int waited = 0;
  size_t turns = 0;
};

Figures Run(BenchDialog& dialog, CountingClock& clock, int button, const QString& file) {
  dialog.file = file;
  clock.waited = 0;
  // A 1 ms timer on the main thread: the gap between two of its turns is how long the event loop
  // was not served.
  std::vector<double> gaps;
  QElapsedTimer since_last;
  QTimer ticker;
  ticker.setTimerType(Qt::PreciseTimer);
  ticker.setInterval(1);
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    gaps.push_back(static_cast<double>(since_last.nsecsElapsed()) / 1e6);
    since_last.restart();
  });
  ticker.start();
  since_last.start();
  const double cpu_before = CpuSeconds();
  QElapsedTimer wall;
  wall.start();
  qobject_cast<QPushButton*>(dialog.Control(button))->click();
  Figures f;
  f.wall = static_cast<double>(wall.nsecsElapsed()) / 1e9;
  f.cpu = CpuSeconds() - cpu_before;
  // The gap that ends after the click returned is the stall of the operation's last part.
  gaps.push_back(static_cast<double>(since_last.nsecsElapsed()) / 1e6);
  ticker.stop();
  std::sort(gaps.begin(), gaps.end());
  f.turns = gaps.size();
  f.max_stall_ms = gaps.back();
  f.p99_stall_ms = gaps[gaps.size() * 99 / 100];
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
  const QString banner = QString::fromLocal8Bit(argv[1]);
  const QString picture =
      QString::fromStdString(WritePicture(std::string(argv[2]) + "/window-stalls-picture.bmp"));

  CountingClock clock;
  BenchDialog dialog(&clock);
  clock.dialog = &dialog;
  dialog.show();
  if (!dialog.link().connected()) {
    std::fprintf(stderr, "the virtual generator did not open\n");
    return 1;
  }
  std::printf(
      "| Download | Wall | Fixed waits | Wall - waits | Longest stall | 99th pct stall | "
      "Event-loop turns | CPU / wall |\n|---|---|---|---|---|---|---|---|\n");
  const struct {
    const char* name;
    int button;
    QString file;
  } runs[] = {{"banner", qvx::control::kDownloadBanner, banner},
              {"picture", qvx::control::kDownloadPicture, picture}};
  for (const auto& run : runs) {
    const Figures f = Run(dialog, clock, run.button, run.file);
    std::printf("| %s | %.2f s | %d s | %.2f s | %.1f ms | %.2f ms | %zu | %.1f %% |\n", run.name,
                f.wall, f.waited, f.wall - f.waited, f.max_stall_ms, f.p99_stall_ms, f.turns,
                100.0 * f.cpu / f.wall);
    std::fflush(stdout);
  }
  return 0;
}
