// The preparation tests share one application object: text banners and SVG drawings need fonts.
#include <gtest/gtest.h>

#include <QGuiApplication>

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  if (qEnvironmentVariableIsEmpty("QVX_VG_FLASH"))
    qputenv("QVX_VG_FLASH", "none");
  QGuiApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
