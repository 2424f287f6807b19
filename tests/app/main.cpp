// The window tests share one application object, made before any test runs.
#include <gtest/gtest.h>

#include "app/generator_app.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  // No test may put a window on the user's screen or touch the virtual generator's flash file,
  // even when the executable is run by hand.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  if (qEnvironmentVariableIsEmpty("QVX_VG_FLASH"))
    qputenv("QVX_VG_FLASH", "none");
  qvx::GeneratorApp app(argc, argv);
  return RUN_ALL_TESTS();
}
