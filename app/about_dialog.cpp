// The About box from template 100.
#include "app/about_dialog.h"

#include <QLabel>
#include <QPushButton>

#include "app/resources/icons.h"

namespace qvx {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
  controls_ = BuildDialog(*this, resources::AboutTemplate());
  for (const BuiltControl& control : controls_) {
    if (control.spec->kind == resources::ControlType::kIcon) {
      // An icon control takes the icon's own size, whatever the template says.
      auto* label = static_cast<QLabel*>(control.widget);
      const QPixmap pixmap = resources::LoadIcon(resources::kAboutIconId).pixmap(32, 32);
      label->setPixmap(pixmap);
      label->resize(pixmap.size());
    } else if (control.spec->id == resources::kIdOk) {
      connect(static_cast<QPushButton*>(control.widget), &QPushButton::clicked, this,
              &QDialog::accept);
    }
  }
}

}  // namespace qvx
