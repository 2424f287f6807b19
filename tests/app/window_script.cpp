// qvx5120-window-script: plays a window script (tests/windows/script.h) on the Qt window, the twin
// of qvx5120-window-driver on Windows, so that both windows can be held to the same script: the
// same log, and on the virtual generator the same capture and flash file. The driver library is
// loaded by plain name only, as on Windows; the clock never waits, since no capture depends on
// wall time.
//
//   qvx5120-window-script SCRIPT     (in the folder the script's file names are relative to)
#include <QApplication>
#include <cstdio>
#include <fstream>

#include "device/library_loader.h"
#include "tests/app/script_window.h"
#include "tests/support/recording_clock.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: qvx5120-window-script SCRIPT\n", stderr);
    return 2;
  }
  std::ifstream file(argv[1]);
  std::string error = "cannot read the script";
  auto steps = file ? qvx::script::ReadScript(file, error) : std::nullopt;
  if (!steps) {
    std::fprintf(stderr, "qvx5120-window-script: %s: %s\n", argv[1], error.c_str());
    return 2;
  }
  // Never a window on the user's screen.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  qvx::test::RecordingClock clock;
  qvx::SystemLibraryLoader loader(qvx::kDriverLibraryName);
  qvx::test::ScriptWindow window(clock, loader, std::move(*steps));
  return window.Play() ? 0 : 1;
}
