// Template controls as Qt widgets.
#include "app/dialog_builder.h"
#include "app/qt_text.h"

#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

namespace qvx {
namespace {

using resources::ControlTemplate;
using resources::ControlType;

// Enter on a focused push button presses it, as Space does; elsewhere in a dialog Enter is OK.
class EnterPressesButton : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress)
      return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
      return false;
    auto* button = static_cast<QPushButton*>(watched);
    if (button->isEnabled())
      button->click();
    return true;
  }
};

QWidget* CreateWidget(const ControlTemplate& spec, QDialog& dialog) {
  const QString text = ToQString(spec.text);
  switch (spec.kind) {
    case ControlType::kPushButton:
    case ControlType::kDefaultPushButton: {
      auto* button = new QPushButton(text, &dialog);
      const bool is_default = spec.kind == ControlType::kDefaultPushButton;
      button->setAutoDefault(is_default);
      button->setDefault(is_default);
      if (!is_default)
        button->installEventFilter(new EnterPressesButton(button));
      return button;
    }
    case ControlType::kProgressBar: {
      auto* bar = new QProgressBar(&dialog);
      bar->setTextVisible(false);
      return bar;
    }
    case ControlType::kGroupBox: {
      // A group box only frames its neighbours: it takes no clicks and stays beneath them.
      auto* group = new QGroupBox(text, &dialog);
      group->setAttribute(Qt::WA_TransparentForMouseEvents);
      group->setFocusPolicy(Qt::NoFocus);
      return group;
    }
    case ControlType::kLabel: {
      auto* label = new QLabel(&dialog);
      label->setTextFormat(Qt::PlainText);  // no ampersand or markup processing
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      label->setText(text);
      return label;
    }
    case ControlType::kDropDownList: {
      auto* list = new QComboBox(&dialog);
      list->setEditable(false);
      list->setInsertPolicy(QComboBox::NoInsert);
      return list;
    }
    case ControlType::kEdit:
      return new QLineEdit(&dialog);
    case ControlType::kIcon:
      return new QLabel(&dialog);
  }
  return nullptr;
}

void Place(QWidget& widget, const ControlTemplate& spec, const DialogUnits& units) {
  QRect rect = units.Rect(spec.x, spec.y, spec.width, spec.height);
  if (spec.kind == ControlType::kDropDownList) {
    // The template height is that of the dropped list; the closed box keeps its own height, and
    // the list shows as many items as fit in the rest.
    auto& list = static_cast<QComboBox&>(widget);
    const int closed = list.sizeHint().height();
    const int item = list.fontMetrics().height() + 2;
    list.setMaxVisibleItems(qMax(1, (rect.height() - closed) / item));
    rect.setHeight(closed);
  }
  widget.setGeometry(rect);
}

}  // namespace

Qt::WindowFlags DialogWindowFlags() {
  return Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
         Qt::WindowCloseButtonHint;
}

std::vector<BuiltControl> BuildDialog(QDialog& dialog, const resources::DialogTemplate& layout) {
  dialog.setWindowFlags(DialogWindowFlags());
  dialog.setFont(DialogFont());
  dialog.setWindowTitle(ToQString(layout.caption));
  const DialogUnits units = DialogUnits::ForFont(dialog.font());
  dialog.setFixedSize(units.X(layout.width), units.Y(layout.height));

  std::vector<BuiltControl> built;
  built.reserve(layout.controls.size());
  QWidget* previous_stop = nullptr;
  for (const ControlTemplate& spec : layout.controls) {
    QWidget* widget = CreateWidget(spec, dialog);
    widget->setProperty(kControlIdProperty, spec.id);
    Place(*widget, spec, units);
    if (spec.kind == ControlType::kGroupBox)
      widget->lower();
    if (widget->focusPolicy() & Qt::TabFocus) {
      if (previous_stop != nullptr)
        QWidget::setTabOrder(previous_stop, widget);
      previous_stop = widget;
    }
    built.push_back({&spec, widget});
  }
  return built;
}

}  // namespace qvx
