// The fake station's sockets and control.
#include "tests/station_http/fake_station.h"

namespace qvx::test {

using station::SocketState;
using station::SocketView;

StationStatus ExampleStatus() {
  StationStatus status;
  status.set_path = "/jobs/line-4/station.toml";
  status.set_sha256 = "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08";
  status.operator_name = "ana";
  status.work_order = "WO-1182";
  status.state = RunState::kRunning;
  status.version = "1.0.0";
  status.host = "line-pc-4";
  status.operations = {"banner 1 from id.bmp", "pattern 0 from ramp.tst"};
  return status;
}

FakeStation::FakeStation(station_http::EventFeed& feed, StationStatus status)
    : status_(std::move(status)), events_(feed, status_.operations) {}

SocketView& FakeStation::SocketAt(const std::string& port) {
  for (SocketView& socket : sockets_) {
    if (socket.port == port)
      return socket;
  }
  SocketView& socket = sockets_.emplace_back();
  socket.number = static_cast<int>(sockets_.size());
  socket.port = port;
  return socket;
}

void FakeStation::Plug(const std::string& port, const std::string& serial,
                       const std::string& label) {
  const std::lock_guard lock(mutex_);
  SocketView& socket = SocketAt(port);
  socket.serial = serial;
  socket.description = "QVX5120I1";
  socket.state = SocketState::kEmpty;
  socket.label.clear();
  events_.Plugged(socket);
  socket.label = label;
  socket.state = SocketState::kLoading;
  socket.operation = 0;
  socket.operations = status_.operations.size();
  socket.attempt = 1;
  socket.progress = 0;
  socket.end.reset();
  socket.reason.clear();
  socket.seconds = 0;
  socket.load = ++loads_;
  events_.LoadStarting(socket);
}

void FakeStation::Progress(const std::string& port, size_t operation, int progress) {
  const std::lock_guard lock(mutex_);
  SocketView& socket = SocketAt(port);
  socket.operation = operation;
  socket.progress = progress;
  socket.seconds += 1;
}

void FakeStation::EndAttempt(const std::string& port, station::AttemptEnd end,
                             const std::string& reason) {
  const std::lock_guard lock(mutex_);
  SocketView& socket = SocketAt(port);
  socket.seconds += 1;
  station::AttemptReport report;
  report.operation = socket.operation;
  report.attempt = socket.attempt;
  report.end = end;
  report.started = std::chrono::system_clock::time_point(std::chrono::seconds(1796678400));
  report.seconds = 1.5;
  report.reason = reason;
  events_.AttemptEnded(socket, report);
  if (end == station::AttemptEnd::kCompleted) {
    ++socket.operation;
    socket.progress = 0;
  }
}

void FakeStation::EndLoad(const std::string& port, station::LoadEnd end,
                          const std::string& reason) {
  const std::lock_guard lock(mutex_);
  SocketView& socket = SocketAt(port);
  socket.end = end;
  socket.reason = reason;
  socket.state = end == station::LoadEnd::kPassed ? SocketState::kPassed : SocketState::kFailed;
  switch (end) {
    case station::LoadEnd::kPassed:
      ++status_.totals.passed;
      break;
    case station::LoadEnd::kPulled:
      ++status_.totals.pulled;
      break;
    case station::LoadEnd::kFailed:
    case station::LoadEnd::kCutOff:
      ++status_.totals.failed;
      break;
  }
  status_.totals.units_per_hour = (status_.totals.passed + status_.totals.failed) * 60.0;
  events_.LoadEnded(socket);
  if (end == station::LoadEnd::kPulled) {
    socket.state = SocketState::kEmpty;
    events_.Emptied(socket);
  }
}

void FakeStation::Empty(const std::string& port) {
  const std::lock_guard lock(mutex_);
  SocketView& socket = SocketAt(port);
  socket.state = SocketState::kEmpty;
  events_.Emptied(socket);
}

void FakeStation::SetState(RunState state) {
  const std::lock_guard lock(mutex_);
  status_.state = state;
}

void FakeStation::AddRecord(std::string line) {
  const std::lock_guard lock(mutex_);
  records_.push_back(std::move(line));
}

StationStatus FakeStation::Status() {
  const std::lock_guard lock(mutex_);
  return status_;
}

std::vector<SocketView> FakeStation::Sockets() {
  const std::lock_guard lock(mutex_);
  return sockets_;
}

void FakeStation::Stop(bool cut) {
  const std::lock_guard lock(mutex_);
  ++(cut ? calls_.cuts : calls_.stops);
  status_.state = RunState::kStopping;
  events_.Stopping(cut);
}

std::optional<std::string> FakeStation::Start() {
  const std::lock_guard lock(mutex_);
  ++calls_.starts;
  if (start_refusal_)
    return start_refusal_;
  status_.state = RunState::kRunning;
  events_.StartedAgain();
  return std::nullopt;
}

void FakeStation::Label(std::string label) {
  const std::lock_guard lock(mutex_);
  calls_.labels.push_back(label);
  status_.next_label = std::move(label);
}

void FakeStation::RecordControl(const ControlRequest& request) {
  const std::lock_guard lock(mutex_);
  calls_.recorded.push_back(request);
}

std::vector<std::string> FakeStation::RecordsAfter(uint64_t after, size_t most) {
  const std::lock_guard lock(mutex_);
  std::vector<std::string> lines;
  for (uint64_t i = after; i < records_.size() && lines.size() < most; ++i)
    lines.push_back(records_[i]);
  return lines;
}

FakeStation::Calls FakeStation::calls() const {
  const std::lock_guard lock(mutex_);
  return calls_;
}

void FakeStation::RefuseStart(std::optional<std::string> refusal) {
  const std::lock_guard lock(mutex_);
  start_refusal_ = std::move(refusal);
}

}  // namespace qvx::test
