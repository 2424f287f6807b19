// The station window's behaviour.
#include "station_window/station_window_core.h"

#include <filesystem>
#include <sstream>

#include "content/content_set.h"
#include "station/texts.h"
#include "station_window/texts.h"

namespace qvx::station_window {

void StationWindowCore::Sounds::LoadEnded(const station::SocketView& socket) {
  const std::lock_guard lock(mutex_);
  due_.push_back(socket.end == station::LoadEnd::kPassed ? Sound::kPass : Sound::kFail);
}

std::vector<Sound> StationWindowCore::Sounds::Take() {
  const std::lock_guard lock(mutex_);
  return std::exchange(due_, {});
}

StationWindowCore::StationWindowCore(LibraryLoader& library, StationWindowOptions options,
                                     UnitClock unit_clock)
    : library_(library), options_(std::move(options)), unit_clock_(std::move(unit_clock)) {}

StationWindowCore::~StationWindowCore() {
  if (station_) {
    station_->Stop();
    station_->Abandon();
  }
  if (runner_.joinable())
    runner_.join();
}

std::optional<std::string> StationWindowCore::OpenStartupSet() {
  if (options_.set_file.empty())
    return std::nullopt;
  return OpenSet(options_.set_file);
}

std::optional<std::string> StationWindowCore::OpenSet(const std::string& path) {
  if (Running())
    return std::nullopt;
  const std::string name = std::filesystem::path(path).filename().string();
  content::ContentSet set;
  try {
    set = content::ReadContentSet(path);
  } catch (const content::ContentSetError& error) {
    std::string why;
    for (const std::string& problem : error.problems())
      why += (why.empty() ? "" : "; ") + problem;
    return text::SetRefused(name, why);
  }
  station_core::StationSetup setup;
  setup.set_file = path;
  setup.operator_name = options_.operator_name;
  setup.work_order = options_.work_order;
  setup.record_file = options_.record_file;
  setup.retries = options_.retries;
  setup.unit_clock = unit_clock_;
  // A tile names each file as the operator knows it, without the folder it lies in.
  std::vector<std::string> names;
  for (content::LoadStep step : set.steps) {
    step.file = std::filesystem::path(step.file).filename().string();
    names.push_back(content::Describe(step));
  }
  auto session = std::make_unique<station_core::StationSession>(library_, &sounds_);
  std::ostringstream notes;  // where prepared pictures went: the loader's terminal shows them
  if (const auto refusal = session->Prepare(std::move(set), std::move(setup), notes))
    return text::SetRefused(name, *refusal);
  // The last run's station refers to the session it came from.
  JoinEnded();
  station_.reset();
  session_ = std::move(session);
  set_name_ = name;
  operation_names_ = std::move(names);
  record_failure_shown_ = false;
  return std::nullopt;
}

std::optional<std::string> StationWindowCore::Start() {
  if (!session_ || Running())
    return std::nullopt;
  JoinEnded();
  station_.reset();
  station_ = session_->NewStation();
  if (!station_->usable()) {
    station_.reset();
    return std::string(station::text::kNoDriver);
  }
  // A label scanned before the start goes to the first unit plugged in.
  if (!next_label_.empty())
    station_->SetNextLabel(std::exchange(next_label_, {}));
  run_ended_ = false;
  runner_ = std::thread([this] {
    station_->Run();
    run_ended_ = true;
  });
  return std::nullopt;
}

void StationWindowCore::Stop() {
  if (Running())
    station_->Stop();
}

void StationWindowCore::Scan(const std::string& label) {
  if (label.empty())
    return;
  // Between runs the label waits here for the next station.
  if (Running())
    station_->SetNextLabel(label);
  else
    next_label_ = label;
}

bool StationWindowCore::Running() {
  return station_ != nullptr && !run_ended_;
}

void StationWindowCore::JoinEnded() {
  if (!run_ended_ || !runner_.joinable())
    return;
  runner_.join();
  // A label scanned while the station stopped still waits for the next unit plugged in.
  if (next_label_.empty())
    next_label_ = station_->NextLabel();
}

BoardView StationWindowCore::View() {
  JoinEnded();
  BoardView view;
  station::Totals totals;
  if (station_) {
    for (const station::SocketView& socket : station_->Sockets())
      view.tiles.push_back(TileOf(socket, operation_names_));
    totals = station_->totals();
  }
  view.title = text::Title(totals.passed, totals.failed);
  view.totals = text::TotalsText(totals.passed, totals.failed, totals.units_per_hour);
  view.set = session_ ? text::SetText(set_name_, session_->facts().set_sha256) : text::kNoSet;
  view.operator_name =
      options_.operator_name.empty() ? text::kNobody : text::OperatorText(options_.operator_name);
  view.work_order =
      options_.work_order.empty() ? text::kNoWorkOrder : text::WorkOrderText(options_.work_order);
  view.running = Running();
  view.can_start = session_ != nullptr && !view.running && !close_pending_;
  view.can_stop = view.running && !station_->stopping();
  view.can_open = !options_.lock && !view.running && !close_pending_;
  if (close_pending_)
    view.status = text::kClosing;
  else if (view.running)
    view.status = station_->stopping() ? text::kStopping : text::kRunning;
  else if (!session_)
    view.status = text::kNoSet;
  else
    view.status = station_ ? text::kStopped : text::kReady;
  const std::string next_label = view.running ? station_->NextLabel() : next_label_;
  if (!next_label.empty() && !close_pending_)
    view.status += " \u2014 " + text::NextLabelText(next_label);
  return view;
}

std::vector<Sound> StationWindowCore::TakeSounds() {
  return sounds_.Take();
}

std::optional<std::string> StationWindowCore::TakeRecordFailure() {
  if (!session_ || record_failure_shown_)
    return std::nullopt;
  const auto failure = session_->RecordFailure();
  if (!failure)
    return std::nullopt;
  record_failure_shown_ = true;
  return text::RecordsFailed(*failure);
}

bool StationWindowCore::RequestClose() {
  if (!Running())
    return true;
  if (close_pending_) {
    station_->Abandon();
  } else {
    close_pending_ = true;
    station_->Stop();
  }
  return false;
}

bool StationWindowCore::CloseDue() {
  return close_pending_ && !Running();
}

}  // namespace qvx::station_window
