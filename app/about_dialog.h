// The About box: product name and version, and the three rules of use the main window does not
// show (banner format, picture format, cancelling a file dialog erases the slot).
#pragma once

#include <QDialog>
#include <vector>

#include "app/dialog_builder.h"

namespace qvx {

class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  explicit AboutDialog(QWidget* parent = nullptr);

  // The template's controls in tab order.
  const std::vector<BuiltControl>& controls() const { return controls_; }

 private:
  std::vector<BuiltControl> controls_;
};

}  // namespace qvx
