// The application object: runs the main window modally and ends when it closes. There is no
// command line, configuration or saved state.
#pragma once

#include <QApplication>

namespace qvx {

class GeneratorApp : public QApplication {
  Q_OBJECT

 public:
  GeneratorApp(int& argc, char** argv);

  // Runs MainDialog modally; returns false, so the process ends instead of running an event loop
  // of its own.
  bool InitInstance();
};

}  // namespace qvx
