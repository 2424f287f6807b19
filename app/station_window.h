// The station window on Qt: a thin shell over StationWindowCore. A timer paints the core's
// BoardView (the title, a tile per socket in a grid that reflows, the bar and the status line) and
// plays its sounds; the buttons, the scan field and the close box go straight to the core.
//
// With QVX_STATION_TRACE=1 in the environment the window writes to standard output, a line each,
// every tile's accessible name when it changes ("tile Socket 1-1.2, QVX00002, pass") and the status
// line when it changes ("status Running: ..."), so that a test driving the program through the X
// server can follow the board.
#pragma once

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QWidget>
#include <optional>
#include <string>
#include <vector>

#include "app/station_sound.h"
#include "app/station_tile.h"
#include "station_window/station_window_core.h"

namespace qvx {

inline constexpr const char* kStationTraceVariable = "QVX_STATION_TRACE";

class StationWindow : public QWidget {
  Q_OBJECT

 public:
  StationWindow(station_window::StationWindowCore& core, StationSoundPlayer& sounds,
                QWidget* parent = nullptr);

  // Opens the set of the command line, and when it opens starts the station at once: the operator
  // plugs units in straight away. A refusal is shown in a box.
  void Begin();
  // Paints the core's view, plays its sounds, shows a records failure once and closes when due.
  void Tick();

  QPushButton& start_button() const { return *start_; }
  QPushButton& stop_button() const { return *stop_; }
  QPushButton& open_button() const { return *open_; }
  QLineEdit& scan_field() const { return *scan_; }
  const std::vector<StationTile*>& tiles() const { return tiles_; }
  const station_window::BoardView& view() const { return view_; }

  // How often the view is painted.
  static constexpr int kTickMs = 100;

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  // Every box the window shows goes through here, so a test can answer it.
  virtual void PresentBox(const QString& text);
  // The set chosen, or nothing when the dialog was cancelled.
  virtual std::optional<std::string> ChooseSet();

 private:
  void Refused(const std::optional<std::string>& refusal);
  void Paint(const station_window::BoardView& view);
  void Reflow();
  void OnStart();
  void OnStop();
  void OnOpen();
  void OnScan();

  station_window::StationWindowCore& core_;
  StationSoundPlayer& sounds_;
  station_window::BoardView view_;
  bool painted_ = false;
  bool trace_ = false;
  int boxes_up_ = 0;             // the window's own boxes open now
  bool close_deferred_ = false;  // a close asked for under a box, made once it is answered
  int columns_ = 0;
  QTimer timer_;
  QLabel* totals_;
  QLabel* set_;
  QLabel* operator_;
  QLabel* work_order_;
  QScrollArea* scroll_;
  QWidget* board_;
  QGridLayout* grid_;
  std::vector<StationTile*> tiles_;
  QLabel* status_;
  QLineEdit* scan_;
  QPushButton* start_;
  QPushButton* stop_;
  QPushButton* open_;
};

}  // namespace qvx
