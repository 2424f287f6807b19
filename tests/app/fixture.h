// Shared set-up of the window tests: a fresh virtual generator and helpers to reach controls.
#pragma once

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <memory>
#include <string>
#include <vector>

#include "tests/app/test_dialog.h"
#include "tests/support/virtual_generator.h"
#include "window/controls.h"

namespace qvx::test {

using Lines = std::vector<std::string>;

// The title of the test executable, the caption of boxes without one of their own.
inline const QString kTestTitle = QStringLiteral("qvx_app_tests");

class AppTest : public testing::Test {
 protected:
  // Derived fixtures open their window in their constructors, so the generator is reset here.
  AppTest() { vg_.Reset(); }

  // A window on the virtual generator (the platform loader finds it first on the path), shown so
  // that it initialises.
  std::unique_ptr<TestDialog> OpenOnGenerator() {
    auto dialog = std::make_unique<TestDialog>(&clock_);
    dialog->show();
    return dialog;
  }

  static QPushButton& Button(const MainDialog& dialog, int id) {
    return *qobject_cast<QPushButton*>(dialog.Control(id));
  }
  static QComboBox& List(const MainDialog& dialog, int id) {
    return *qobject_cast<QComboBox*>(dialog.Control(id));
  }
  static QLineEdit& Edit(const MainDialog& dialog, int id) {
    return *qobject_cast<QLineEdit*>(dialog.Control(id));
  }
  static QProgressBar& Progress(const MainDialog& dialog) {
    return *qobject_cast<QProgressBar*>(dialog.Control(control::kProgressBar));
  }
  static std::vector<bool> ButtonsEnabled(const MainDialog& dialog) {
    std::vector<bool> enabled;
    for (int id : control::kDownloadButtons)
      enabled.push_back(Button(dialog, id).isEnabled());
    return enabled;
  }

  VirtualGenerator vg_;
  RecordingClock clock_;
};

inline const std::vector<bool> kAllEnabled(5, true);
inline const std::vector<bool> kAllDisabled(5, false);

}  // namespace qvx::test
