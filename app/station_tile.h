// One socket's tile in the station window: heading, serial, label, the operation with its bar, the
// time, and once the load has ended a PASS or FAIL large enough to read from across the room. It
// paints a TileView and only what changed in it.
#pragma once

#include <QFrame>
#include <QLabel>
#include <QProgressBar>

#include "station_window/tile.h"

namespace qvx {

class StationTile : public QFrame {
  Q_OBJECT

 public:
  explicit StationTile(QWidget* parent = nullptr);

  // False when the tile already showed this view.
  bool Show(const station_window::TileView& view);
  const station_window::TileView& view() const { return view_; }

 private:
  QLabel* Line(int scale_percent, bool bold);

  station_window::TileView view_;
  bool shown_ = false;
  QLabel* heading_;
  QLabel* serial_;
  QLabel* label_;
  QLabel* operation_;
  QProgressBar* progress_;
  QLabel* elapsed_;
  QLabel* verdict_;
  QLabel* reason_;
};

}  // namespace qvx
