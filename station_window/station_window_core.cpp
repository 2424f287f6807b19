// The station window's behaviour.
#include "station_window/station_window_core.h"

#include <filesystem>
#include <sstream>

#include "station_core/texts.h"
#include "station_window/texts.h"

namespace qvx::station_window {

using station_core::RunState;

void StationWindowCore::Sounds::LoadEnded(const station::SocketView& socket) {
  const std::lock_guard lock(mutex_);
  due_.push_back(socket.end == station::LoadEnd::kPassed ? Sound::kPass : Sound::kFail);
}

std::vector<Sound> StationWindowCore::Sounds::Take() {
  const std::lock_guard lock(mutex_);
  return std::exchange(due_, {});
}

StationWindowCore::StationWindowCore(LibraryLoader& library, StationWindowOptions options,
                                     UnitClock unit_clock, std::ostream* held_log,
                                     station_core::LineServices line)
    : options_(options),
      control_(library, options, &sounds_, std::move(unit_clock), held_log, std::move(line)) {}

std::optional<std::string> StationWindowCore::OpenSet(const std::string& path) {
  std::ostringstream notes;  // where prepared pictures went: the loader's terminal shows them
  const auto refusal = control_.OpenSetFile(path, notes);
  if (!refusal)
    return std::nullopt;
  std::string why;
  for (const std::string& problem : refusal->problems)
    why += (why.empty() ? "" : "; ") + problem;
  record_failure_shown_ = false;
  return text::SetRefused(std::filesystem::path(path).filename().string(), why);
}

std::optional<std::string> StationWindowCore::StartUp() {
  // Served from the start, so that the line sees the station before its set is open.
  if (const auto refused = control_.Serve())
    return refused->reason;
  if (options_.set_file.empty())
    return std::nullopt;
  if (const auto refusal = OpenSet(options_.set_file))
    return refusal;
  return Start();
}

std::optional<std::string> StationWindowCore::Start() {
  return control_.Start();
}

void StationWindowCore::Stop() {
  control_.LetFinish();
}

void StationWindowCore::Scan(const std::string& label) {
  control_.Scan(label);
}

BoardView StationWindowCore::View() {
  const station_core::StationSnapshot snapshot = control_.Snapshot();
  BoardView view;
  for (const station::SocketView& socket : snapshot.sockets)
    view.tiles.push_back(TileOf(socket, control_.operation_names()));
  const station::Totals& totals = snapshot.totals;
  view.title = text::Title(totals.passed, totals.failed);
  view.totals = text::TotalsText(totals.passed, totals.failed, totals.units_per_hour);
  view.set = control_.has_set() ? text::SetText(control_.set_name(), control_.facts()->set_sha256)
                                : text::kNoSet;
  view.operator_name =
      options_.operator_name.empty() ? text::kNobody : text::OperatorText(options_.operator_name);
  view.work_order =
      options_.work_order.empty() ? text::kNoWorkOrder : text::WorkOrderText(options_.work_order);
  view.running = snapshot.state == RunState::kRunning || snapshot.state == RunState::kStopping;
  view.can_start = control_.has_set() && !view.running && !close_pending_;
  view.can_stop = snapshot.state == RunState::kRunning;
  view.can_open = !options_.lock && !view.running && !close_pending_;
  switch (snapshot.state) {
    case RunState::kNoSet:
      view.status = text::kNoSet;
      break;
    case RunState::kReady:
      view.status = text::kReady;
      break;
    case RunState::kRunning:
      view.status = text::kRunning;
      break;
    case RunState::kStopping:
      view.status = text::kStopping;
      break;
    case RunState::kStopped:
      view.status = text::kStopped;
      break;
  }
  if (close_pending_)
    view.status = text::kClosing;
  else if (!snapshot.next_label.empty())
    view.status += " \u2014 " + text::NextLabelText(snapshot.next_label);
  // Records held back are said before anything else the station is doing; lines not yet in the
  // line's database after it.
  if (!snapshot.records_note.empty())
    view.status = text::RecordsNote(snapshot.records_note) + " \u2014 " + view.status;
  if (snapshot.unshipped && *snapshot.unshipped > 0) {
    view.status += " \u2014 " + station_core::text::NotYetShipped(*snapshot.unshipped);
    if (!snapshot.ship_problem.empty())
      view.status += " (" + snapshot.ship_problem + ")";
  }
  return view;
}

std::vector<Sound> StationWindowCore::TakeSounds() {
  return sounds_.Take();
}

std::optional<std::string> StationWindowCore::TakeRecordFailure() {
  const station_core::StationSnapshot snapshot = control_.Snapshot();
  if (!snapshot.held_back()) {
    // Written again: the next hold gets a box of its own.
    record_failure_shown_ = false;
    return std::nullopt;
  }
  if (record_failure_shown_)
    return std::nullopt;
  record_failure_shown_ = true;
  return text::RecordsFailed(snapshot.records_note);
}

bool StationWindowCore::RequestClose() {
  if (!control_.running())
    return true;
  if (close_pending_) {
    control_.CutOff();
  } else {
    close_pending_ = true;
    control_.Stop();
  }
  return false;
}

bool StationWindowCore::CloseDue() {
  return close_pending_ && !control_.running();
}

StationWindowCore::TickDue StationWindowCore::Tick(bool box_up) {
  // A box's own loop runs the window's timer too: one box at a time, and no close from inside it.
  if (box_up)
    return {};
  return {TakeRecordFailure(), CloseDue()};
}

}  // namespace qvx::station_window
