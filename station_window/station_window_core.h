// The station window without a toolkit: the content set opened, Start and Stop, the scan field,
// and the view of the board (title, one tile per socket, the bar) that the Qt and Win32 windows
// paint from a timer. The station runs on a thread of its own; everything here is called from
// the window's thread.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "device/library_loader.h"
#include "station_core/station_session.h"
#include "station/events.h"
#include "station/station.h"
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
  using UnitClock = std::function<std::unique_ptr<Clock>(const station::SocketView&)>;
  // `unit_clock`: the clock of each load; empty: real time.
  StationWindowCore(LibraryLoader& library, StationWindowOptions options,
                    UnitClock unit_clock = {});
  // Running loads are cut off and waited for.
  ~StationWindowCore();
  StationWindowCore(const StationWindowCore&) = delete;
  StationWindowCore& operator=(const StationWindowCore&) = delete;

  // Reads and checks the set, copies its files and opens its records: the box to show when it
  // cannot be loaded (the set open before stays), or nothing. Not while the station runs.
  std::optional<std::string> OpenSet(const std::string& path);
  // The set of the command line, at start-up; nothing when none was given.
  std::optional<std::string> OpenStartupSet();
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
  // The box to show once about records that could not be written, or nothing.
  std::optional<std::string> TakeRecordFailure();

  // The window's close box: true when it may close now. While loads run, the first request stops
  // the station and the window closes once they have ended (CloseDue); a second cuts them off.
  bool RequestClose();
  bool CloseDue();

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

  bool Running();
  void JoinEnded();

  LibraryLoader& library_;
  StationWindowOptions options_;
  UnitClock unit_clock_;
  Sounds sounds_;
  std::unique_ptr<station_core::StationSession> session_;
  std::string set_name_;
  std::vector<std::string> operation_names_;
  std::unique_ptr<station::Station> station_;
  std::thread runner_;
  std::atomic<bool> run_ended_{true};
  bool close_pending_ = false;
  bool record_failure_shown_ = false;
  std::string next_label_;
};

}  // namespace qvx::station_window
