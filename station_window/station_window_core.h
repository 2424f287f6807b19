// The station window without a toolkit: the view of the board (title, one tile per socket, the
// bar, the status line) that the Qt and Win32 windows paint from a timer, the sounds due, the
// boxes to show and the close rules, over the station core that every front end shares
// (station_core/station_control.h). Everything here is called from the window's thread.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "device/library_loader.h"
#include "station/events.h"
#include "station_core/station_control.h"
#include "station_window/options.h"
#include "station_window/tile.h"

namespace qvx::station_window {

enum class Sound { kPass, kFail };

struct BoardView {
  std::string title;  // "QVX5120 Station - 2 passed, 0 failed"
  std::vector<TileView> tiles;
  std::string totals;         // "Passed 2   Failed 0   41.5 units per hour"
  std::string set;            // "Set station.toml  1a2b3c4d5e6f"
  std::string operator_name;  // "Operator ana"
  std::string work_order;     // "Work order WO-1182"
  std::string status;         // what the station is doing
  bool running = false;
  bool can_start = false;
  bool can_stop = false;
  bool can_open = false;  // never with --lock

  bool operator==(const BoardView&) const = default;
};

class StationWindowCore {
 public:
  using UnitClock = station_core::StationControl::UnitClock;
  // `unit_clock`: the clock of each load; empty: real time. `held_log`: where record lines that
  // must be held are kept meanwhile (standard error); null: nowhere.
  // `line`: makes --ship's shipper and --http's server; each empty where this build has none.
  StationWindowCore(LibraryLoader& library, StationWindowOptions options, UnitClock unit_clock = {},
                    std::ostream* held_log = nullptr, station_core::LineServices line = {});
  StationWindowCore(const StationWindowCore&) = delete;
  StationWindowCore& operator=(const StationWindowCore&) = delete;

  // Reads and checks the set, copies its files and opens its records: the box to show when it
  // cannot be loaded (the set open before stays), or nothing. Not while the station runs.
  std::optional<std::string> OpenSet(const std::string& path);
  // What the window does once it is shown: opens the command line's set and starts the station on
  // it; the box to show when either fails, or nothing.
  std::optional<std::string> StartUp();
  // Starts watching the sockets: the box to show when it cannot start, or nothing.
  std::optional<std::string> Start();
  // No new unit starts; the running loads finish.
  void Stop();
  // A label typed or scanned, with Return: it goes to the next unit plugged in.
  void Scan(const std::string& label);

  // The board as it stands. Also notices the end of a run.
  BoardView View();
  // The sounds due since the last call, in order: one per load that ended.
  std::vector<Sound> TakeSounds();
  // The box to show once each time the records are held back, or nothing.
  std::optional<std::string> TakeRecordFailure();

  // The window's close box: true when it may close now. While loads run, the first request stops
  // the station and the window closes once they have ended (CloseDue); a second cuts them off.
  bool RequestClose();
  bool CloseDue();

  // What the window's timer does, in order, apart from painting and playing: the box to show (one
  // at a time, never while another is up) and whether the window should close now.
  struct TickDue {
    std::optional<std::string> box;
    bool close = false;
  };
  // `box_up`: a box of the window's is open; nothing is shown over it, nor is the window closed.
  TickDue Tick(bool box_up);

  const StationWindowOptions& options() const { return options_; }

 private:
  class Sounds final : public station::StationEvents {
   public:
    void LoadEnded(const station::SocketView& socket) override;
    std::vector<Sound> Take();

   private:
    std::mutex mutex_;
    std::vector<Sound> due_;
  };

  StationWindowOptions options_;
  Sounds sounds_;
  station_core::StationControl control_;
  bool close_pending_ = false;
  bool record_failure_shown_ = false;
};

}  // namespace qvx::station_window
