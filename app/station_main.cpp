// qvx5120-station: the plug-and-load station in a window. The command line is read before the
// application object is made, so --help and --version work without a display.
#include <QApplication>
#include <QScreen>
#include <iostream>
#include <string>
#include <vector>

#include "app/station_sound.h"
#include "app/station_window.h"
#include "device/library_loader.h"
#include "station_line/line_services.h"
#include "station_window/options.h"
#include "station_window/texts.h"

int main(int argc, char** argv) {
  namespace sw = qvx::station_window;
  sw::StationWindowOptions options;
  try {
    options = sw::ParseStationWindowOptions(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const sw::OptionsError& error) {
    std::cerr << sw::text::kProgram << error.what() << "\n";
    return 2;
  }
  if (options.help) {
    std::cout << sw::text::Usage();
    return 0;
  }
  if (options.version) {
    std::cout << "qvx5120-station " QVX_VERSION "\n";
    return 0;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromUtf8(sw::text::kApplicationName));
  qvx::SystemLibraryLoader loader;
  sw::StationWindowCore core(loader, options, {}, &std::cerr, qvx::station_line::Services());
  qvx::BellSoundPlayer sounds;
  qvx::StationWindow window(core, sounds);
  // Most of the screen: the tiles are read from across the room.
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    window.resize(screen->availableSize() * 3 / 4);
  window.show();
  window.Begin();
  return app.exec();
}
