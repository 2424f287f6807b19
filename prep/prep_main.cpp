// qvx5120-prep: see `qvx5120-prep --help`.
#include <QGuiApplication>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "prep/prep_tool.h"

namespace {

// Qt's warnings (a runtime directory not set, a PNG's profile chunk it finds odd) are not the
// user's business; its errors are.
void QtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtCriticalMsg || type == QtFatalMsg)
    std::cerr << "qvx5120-prep: " << message.toStdString() << '\n';
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::vector<std::string> args(argv + 1, argv + argc);
    // Fonts need a GUI application; the tool never shows a window, so it needs no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(QtMessages);
    int qt_argc = 1;
    QGuiApplication app(qt_argc, argv);
    return qvx::prep::RunPrepTool(args, std::cout, std::cerr);
  } catch (const std::exception& error) {
    std::cerr << "qvx5120-prep: " << error.what() << '\n';
    return 1;
  }
}
