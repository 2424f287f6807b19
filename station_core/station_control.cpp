// Driving the station for a front end.
#include "station_core/station_control.h"

#include <filesystem>
#include <stdexcept>
#include <utility>

#include "station/texts.h"
#include "station_core/texts.h"

namespace qvx::station_core {

StationControl::StationControl(LibraryLoader& library, StationOptions options,
                               station::StationEvents* front_end, UnitClock unit_clock,
                               std::ostream* held_log, LineServices line)
    : library_(library),
      options_(std::move(options)),
      front_end_(front_end),
      unit_clock_(std::move(unit_clock)),
      held_log_(held_log),
      line_(std::move(line)) {
  fanout_.Add(front_end_);
}

StationControl::~StationControl() {
  // The server's requests call in here: none may come once the station goes.
  if (server_)
    server_->Stop();
  const std::lock_guard lock(mutex_);
  if (station_) {
    station_->Stop();
    station_->Abandon();
  }
  if (runner_.joinable())
    runner_.join();
  if (shipper_)
    shipper_->Stop();
}

std::optional<ServeRefusal> StationControl::Serve() {
  const std::lock_guard lock(mutex_);
  // Once, before the first run: the station's threads read the listeners without a lock.
  if (!options_.serves() || server_ || running())
    return std::nullopt;
  if (!line_.serve)
    return ServeRefusal{text::kServingUnavailable, true};
  try {
    server_ = line_.serve(options_.server_options, *this);
    // No run yet: the station's threads are not reading the listeners.
    fanout_.Add(&server_->events());
  } catch (const std::invalid_argument& wrong) {
    return ServeRefusal{wrong.what(), true};
  } catch (const std::runtime_error& cannot) {
    return ServeRefusal{cannot.what(), false};
  }
  return std::nullopt;
}

std::string StationControl::ServerDescription() const {
  return server_ ? server_->Describe() : std::string();
}

void StationControl::RecordControl(const std::string& what, const std::string& from) {
  const std::lock_guard lock(mutex_);
  if (!session_ || session_->writer() == nullptr)
    return;
  session_->writer()->Append(ControlRecord(session_->facts(), what, from));
}

std::optional<StationFacts> StationControl::facts() const {
  const std::lock_guard lock(mutex_);
  if (!session_)
    return std::nullopt;
  return session_->facts();
}

std::optional<SetRefusal> StationControl::OpenStartupSet(std::ostream& notes) {
  const std::lock_guard lock(mutex_);
  if (options_.set_file.empty())
    return std::nullopt;
  return OpenSetFile(options_.set_file, notes);
}

std::optional<SetRefusal> StationControl::OpenSetFile(const std::string& path,
                                                      std::ostream& notes) {
  const std::lock_guard lock(mutex_);
  if (running())
    return std::nullopt;
  content::ContentSet set;
  try {
    set = content::ReadContentSet(path);
  } catch (const content::ContentSetError& error) {
    return SetRefusal{error.problems(), error.malformed()};
  }
  return OpenSet(std::move(set), path, notes);
}

std::optional<SetRefusal> StationControl::OpenSet(content::ContentSet set,
                                                  const std::string& set_file,
                                                  std::ostream& notes) {
  const std::lock_guard lock(mutex_);
  if (running())
    return std::nullopt;
  StationSetup setup;
  setup.set_file = set_file;
  setup.operator_name = options_.operator_name;
  setup.work_order = options_.work_order;
  setup.record_file = options_.record_file;
  setup.retries = options_.retries;
  setup.stop_after = options_.stop_after;
  setup.unit_clock = unit_clock_;
  setup.held_log = held_log_;
  // A tile names each file as the operator knows it, without the folder it lies in.
  std::vector<std::string> names;
  for (content::LoadStep step : set.steps) {
    step.file = std::filesystem::path(step.file).filename().string();
    names.push_back(content::Describe(step));
  }
  auto session = std::make_unique<StationSession>(library_, &fanout_);
  if (const auto refusal = session->Prepare(std::move(set), std::move(setup), notes))
    return SetRefusal{{*refusal}, false};
  std::unique_ptr<LineShipper> shipper;
  if (!options_.ship_url.empty()) {
    if (!line_.ship)
      return SetRefusal{{text::kShippingUnavailable}, false};
    RecordWriter* writer = session->writer();
    if (writer == nullptr)
      return SetRefusal{{text::kShipNeedsRecord}, false};
    try {
      shipper = line_.ship(options_.ship_url, writer->path());
    } catch (const std::runtime_error& refused) {
      return SetRefusal{{refused.what()}, false};
    }
  }
  // Each line on disk goes on to the line: its database, and the server's list of this run's.
  if (RecordWriter* writer = session->writer()) {
    writer->OnWritten([raw = shipper.get(), server = server_.get()](const std::string& line) {
      if (raw != nullptr)
        raw->LineOnDisk(line);
      if (server != nullptr)
        server->LineOnDisk(line);
    });
  }
  // The last run's station refers to the session it came from.
  JoinEnded();
  station_.reset();
  if (shipper_)
    shipper_->Stop();
  shipper_ = std::move(shipper);
  session_ = std::move(session);
  set_name_ = std::filesystem::path(set_file).filename().string();
  set_file_ = set_file;
  operation_names_ = std::move(names);
  told_held_ = false;
  if (server_)
    server_->SetOpened();
  return std::nullopt;
}

std::optional<std::string> StationControl::Start() {
  const std::lock_guard lock(mutex_);
  if (!session_ || running())
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
  if (std::exchange(ran_before_, true) && server_)
    server_->StartedAgain();
  runner_ = std::thread([this] {
    station_->Run();
    // Lines held when the last load ended get one more try before the run is over.
    if (RecordWriter* writer = session_->writer())
      writer->Retry();
    run_ended_ = true;
    if (server_)
      server_->Stopped();
  });
  return std::nullopt;
}

StopDone StationControl::Stop() {
  const std::lock_guard lock(mutex_);
  if (!running())
    return StopDone::kNothing;
  const bool cut = station_->stopping();
  if (server_)
    server_->Stopping(cut);
  if (!cut) {
    station_->Stop();
    return StopDone::kFinishing;
  }
  station_->Abandon();
  return StopDone::kCuttingOff;
}

void StationControl::LetFinish() {
  const std::lock_guard lock(mutex_);
  if (running() && !station_->stopping())
    Stop();
}

void StationControl::CutOff() {
  const std::lock_guard lock(mutex_);
  if (!running())
    return;
  if (server_)
    server_->Stopping(true);
  station_->Abandon();
}

void StationControl::Scan(const std::string& label) {
  const std::lock_guard lock(mutex_);
  if (label.empty())
    return;
  // Between runs the label waits here for the next station.
  if (running())
    station_->SetNextLabel(label);
  else
    next_label_ = label;
}

bool StationControl::running() {
  const std::lock_guard lock(mutex_);
  return station_ != nullptr && !run_ended_;
}

void StationControl::JoinEnded() {
  if (!run_ended_ || !runner_.joinable())
    return;
  runner_.join();
  // A label scanned while the station stopped still waits for the next unit plugged in.
  if (next_label_.empty())
    next_label_ = station_->NextLabel();
}

void StationControl::WaitForEnd() {
  // Not under the lock: the server's requests go on while the run ends.
  if (runner_.joinable())
    runner_.join();
  const std::lock_guard lock(mutex_);
  run_ended_ = true;
  if (station_ && next_label_.empty())
    next_label_ = station_->NextLabel();
}

StationSnapshot StationControl::Snapshot() {
  const std::lock_guard lock(mutex_);
  JoinEnded();
  StationSnapshot snapshot;
  const bool is_running = running();
  if (station_) {
    snapshot.sockets = station_->Sockets();
    snapshot.totals = station_->totals();
  }
  if (!session_)
    snapshot.state = RunState::kNoSet;
  else if (is_running)
    snapshot.state = station_->stopping() ? RunState::kStopping : RunState::kRunning;
  else
    snapshot.state = station_ ? RunState::kStopped : RunState::kReady;
  snapshot.next_label = is_running ? station_->NextLabel() : next_label_;
  if (session_) {
    snapshot.records = session_->Records();
    if (const RecordWriter* writer = session_->writer()) {
      snapshot.record_path = writer->path();
      snapshot.records_note = text::RecordsState(*snapshot.records, writer->path());
    }
  }
  if (shipper_) {
    snapshot.unshipped = shipper_->unshipped();
    snapshot.ship_problem = shipper_->problem().value_or("");
  }
  WatchRecords(snapshot);
  return snapshot;
}

void StationControl::WatchRecords(const StationSnapshot& snapshot) {
  const bool held = snapshot.held_back();
  if (server_ && held && !told_held_)
    server_->RecordsHeldBack(snapshot.records->reason);
  told_held_ = held;
}

}  // namespace qvx::station_core
