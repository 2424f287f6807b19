// Dialog units: the template coordinates, scaled by the dialog font. One horizontal unit is a
// quarter of the font's average letter width, one vertical unit an eighth of its height, so a
// dialog keeps its proportions whatever font the platform has.
#pragma once

#include <QFont>
#include <QRect>

namespace qvx {

class DialogUnits {
 public:
  // base_x: average width of the 52 letters A-Z a-z, rounded; base_y: the font's height.
  DialogUnits(int base_x, int base_y) : base_x_(base_x), base_y_(base_y) {}
  static DialogUnits ForFont(const QFont& font);

  int X(int units) const { return Scale(units, base_x_, 4); }
  int Y(int units) const { return Scale(units, base_y_, 8); }
  QRect Rect(int x, int y, int width, int height) const {
    return QRect(X(x), Y(y), X(width), Y(height));
  }

  int base_x() const { return base_x_; }
  int base_y() const { return base_y_; }

 private:
  // units * base / divisor, rounded half away from zero.
  static int Scale(int units, int base, int divisor);

  int base_x_;
  int base_y_;
};

// The dialogs' font: the platform's default sans-serif at 8 points.
QFont DialogFont();

}  // namespace qvx
