#include "app/generator_app.h"

#include "app/main_dialog.h"

namespace qvx {

GeneratorApp::GeneratorApp(int& argc, char** argv) : QApplication(argc, argv) {}

bool GeneratorApp::InitInstance() {
  MainDialog dialog;
  dialog.exec();
  return false;
}

}  // namespace qvx
