// Builds a dialog from its template: caption, fixed size, font, and one widget per control at its
// place, with the tab order of the template.
#pragma once

#include <QDialog>
#include <QWidget>
#include <vector>

#include "app/dialog_units.h"
#include "window/templates.h"

namespace qvx {

struct BuiltControl {
  const resources::ControlTemplate* spec;
  QWidget* widget;
};

// The name of the widget property that holds a control's template id.
inline constexpr const char* kControlIdProperty = "controlId";

// Sets up `dialog` as the template says and creates its controls as its children, in template
// order. Push buttons are never default buttons unless the template makes them one.
std::vector<BuiltControl> BuildDialog(QDialog& dialog, const resources::DialogTemplate& layout);

// The window flags of every dialog: a caption and a close box, no minimise or maximise box.
Qt::WindowFlags DialogWindowFlags();

}  // namespace qvx
