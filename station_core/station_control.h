// The station as every front end drives it (qvx5120-load --station on a terminal, the Qt and the
// Win32 station windows): a set opened, Start, a stop that lets the running loads finish and a
// second that cuts them off, a scanned label for the next unit, and a snapshot of the board for
// each of the front end's ticks. The station runs on a thread of its own. The front end calls
// from its one thread, and a line server (the HTTP interface) from its own: each call takes the
// control's lock, never for longer than a snapshot or a record line.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "content/content_set.h"
#include "device/library_loader.h"
#include "records/record_writer.h"
#include "station/events.h"
#include "station/events_fanout.h"
#include "station/station.h"
#include "station_core/line_server.h"
#include "station_core/station_options.h"
#include "station_core/station_session.h"

namespace qvx::station_core {

// Why a set cannot be loaded: each problem in words; `malformed` when the file is not a content
// set at all (a command line would exit 2, not 3). Nothing was sent to any unit.
struct SetRefusal {
  std::vector<std::string> problems;
  bool malformed = false;
};

enum class RunState { kNoSet, kReady, kRunning, kStopping, kStopped };

// What a front end's tick shows.
struct StationSnapshot {
  std::vector<station::SocketView> sockets;
  station::Totals totals;
  RunState state = RunState::kNoSet;
  std::string next_label;
  // How the records stand; nothing without a record file.
  std::optional<records::RecordHealth> records;
  std::string record_path;
  // The state of the records in words when they need saying (held back, nearly full); else empty.
  std::string records_note;
  // With --ship: the lines not in the line's database yet, and what keeps them from it.
  std::optional<size_t> unshipped;
  std::string ship_problem;
  bool held_back() const { return records && (records->held > 0 || records->failing); }
};

// What a stop did.
enum class StopDone { kNothing, kFinishing, kCuttingOff };

// Why the line server cannot serve: `command_line` when its options are wrong (exit 2).
struct ServeRefusal {
  std::string reason;
  bool command_line = false;
};

class StationControl {
 public:
  using UnitClock = std::function<std::unique_ptr<Clock>(const station::SocketView&)>;
  // `front_end` (may be null) hears every event, after the records have been written. `unit_clock`:
  // the clock of each load; empty: real time. `held_log`: where a record line that must be held is
  // kept meanwhile (standard error); null: nowhere.
  // `line`: makes the shipper of --ship and the server of --http; each empty where this build
  // has none.
  StationControl(LibraryLoader& library, StationOptions options, station::StationEvents* front_end,
                 UnitClock unit_clock = {}, std::ostream* held_log = nullptr,
                 LineServices line = {});
  // Running loads are cut off and waited for.
  ~StationControl();
  StationControl(const StationControl&) = delete;
  StationControl& operator=(const StationControl&) = delete;

  // Reads and checks the set, copies its files and opens its records; the set open before stays
  // when it cannot be loaded. Notes on prepared pictures go to `notes`. Not while running.
  std::optional<SetRefusal> OpenSetFile(const std::string& path, std::ostream& notes);
  // The same for a set already read (or steps from a command line, `set_file` empty).
  std::optional<SetRefusal> OpenSet(content::ContentSet set, const std::string& set_file,
                                    std::ostream& notes);
  // The set of the options, at start-up; nothing when none was given.
  std::optional<SetRefusal> OpenStartupSet(std::ostream& notes);

  // With --http: starts serving the station (before its set is opened, so that it serves from the
  // start). Why it cannot, or nothing; nothing too without --http.
  std::optional<ServeRefusal> Serve();
  // Where the server serves, for the front end's line about it; empty when there is none.
  std::string ServerDescription() const;
  // A control request that came from elsewhere (`what`: "stop", "start", "label L"; `from`: where),
  // as a record line of its own, before it is carried out. Without a record file, nothing.
  void RecordControl(const std::string& what, const std::string& from);

  // Starts watching the sockets: why it cannot start, or nothing.
  std::optional<std::string> Start();
  // The first stop starts no new unit and lets the running loads finish; the next cuts them off.
  StopDone Stop();
  // As the first stop: no new unit starts, the running loads finish; nothing when already stopping.
  void LetFinish();
  // The running loads are cut off at once.
  void CutOff();
  // A label typed or scanned: it goes to the next unit plugged in.
  void Scan(const std::string& label);

  StationSnapshot Snapshot();
  bool running();
  bool has_set() const { return session_ != nullptr; }
  // The set's file as it was opened (empty for steps from a command line, or before a set).
  const std::string& set_file() const { return set_file_; }
  // The set's file name without its folder ("station.toml"); empty before one is open.
  const std::string& set_name() const { return set_name_; }
  // The operations' names as a tile shows them: each file without its folder.
  const std::vector<std::string>& operation_names() const { return operation_names_; }
  const StationOptions& options() const { return options_; }
  // The set's facts (its path and SHA-256, operator, work order); nothing before a set is open.
  std::optional<StationFacts> facts() const;
  // Until the current run ends.
  void WaitForEnd();

 private:
  void JoinEnded();
  // Tells the server when the records go from being written to held back.
  void WatchRecords(const StationSnapshot& snapshot);

  LibraryLoader& library_;
  StationOptions options_;
  station::StationEvents* front_end_;
  UnitClock unit_clock_;
  std::ostream* held_log_;
  LineServices line_;
  mutable std::recursive_mutex mutex_;
  // Every station event goes to the front end, then to the line server.
  station::EventsFanout fanout_;
  // Made before any run and kept until the control goes: it outlives every session.
  std::unique_ptr<LineServer> server_;
  bool told_held_ = false;
  bool ran_before_ = false;
  std::unique_ptr<StationSession> session_;
  // Declared after the session: it goes first, once no line can be written any more.
  std::unique_ptr<LineShipper> shipper_;
  std::string set_name_;
  std::string set_file_;
  std::vector<std::string> operation_names_;
  std::unique_ptr<station::Station> station_;
  std::thread runner_;
  std::atomic<bool> run_ended_{true};
  std::string next_label_;
};

}  // namespace qvx::station_core
