// Serving the station over HTTP.
#include "station_line/http_station.h"

#include <deque>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "records/record.h"
#include "station_core/station_control.h"
#include "station_core/texts.h"
#include "station_http/event_feed.h"
#include "station_http/feed_events.h"
#include "station_http/http_options.h"
#include "station_http/http_server.h"
#include "station_http/texts.h"

namespace qvx::station_line {
namespace {

namespace http = station_http;
using station_core::RunState;
using station_core::StationControl;

// How many of the run's record lines are kept for /api/v1/records: a week of a busy station's
// lines would not fit in memory; older ones are in the record file.
constexpr size_t kRecordLinesKept = 100'000;

http::HttpSettings ReadSettings(const station_core::ServerOptions& options) {
  http::HttpOptions reader;
  for (const auto& [option, value] : options) {
    if (const auto wrong = reader.Take(option, value ? value->c_str() : nullptr))
      throw std::invalid_argument(*wrong);
  }
  http::SettingsRead read = reader.Settings();
  if (!read.settings)
    throw std::invalid_argument(read.error);
  return std::move(*read.settings);
}

const char* ControlWhat(http::ControlAction action) {
  switch (action) {
    case http::ControlAction::kStop:
      return "stop";
    case http::ControlAction::kCutOff:
      return "cut off";
    case http::ControlAction::kStart:
      return "start";
    case http::ControlAction::kLabel:
      break;
  }
  return "label";
}

class HttpStation final : public station_core::LineServer, public http::StationService {
 public:
  HttpStation(http::HttpSettings settings, StationControl& control)
      : control_(control),
        feed_(http::EventFeed::NewRunId()),
        events_(std::make_unique<http::FeedEvents>(feed_, std::vector<std::string>{})),
        server_(std::move(settings), *this, feed_) {}

  // Binds the listener and serves: why it cannot, or nothing.
  std::optional<std::string> Listen() { return server_.Start(); }

  // --- LineServer ---
  station::StationEvents& events() override { return forward_; }
  void SetOpened() override {
    const std::lock_guard lock(mutex_);
    operations_ = control_.operation_names();
    events_ = std::make_unique<http::FeedEvents>(feed_, operations_);
  }
  void LineOnDisk(const std::string& line) override {
    const std::lock_guard lock(mutex_);
    lines_.push_back(line);
    if (lines_.size() > kRecordLinesKept) {
      lines_.pop_front();
      ++dropped_;
    }
  }
  void Stopping(bool cut) override { Feed().Stopping(cut); }
  void Stopped() override { Feed().Stopped(); }
  void StartedAgain() override { Feed().StartedAgain(); }
  void RecordsHeldBack(const std::string& reason) override { Feed().RecordsHeldBack(reason); }
  std::string Describe() const override {
    return http::text::Serving(server_.Url(), server_.ControlWords());
  }
  void Stop() override { server_.Stop(); }

  // --- StationService ---
  http::StationStatus Status() override {
    const station_core::StationSnapshot snapshot = control_.Snapshot();
    http::StationStatus status;
    if (const auto facts = control_.facts()) {
      status.set_path = facts->set_path;
      status.set_sha256 = facts->set_sha256;
      status.operator_name = facts->operator_name;
      status.work_order = facts->work_order;
    } else {
      status.operator_name = control_.options().operator_name;
      status.work_order = control_.options().work_order;
    }
    switch (snapshot.state) {
      case RunState::kRunning:
        status.state = http::RunState::kRunning;
        break;
      case RunState::kStopping:
        status.state = http::RunState::kStopping;
        break;
      case RunState::kNoSet:
      case RunState::kReady:
      case RunState::kStopped:
        status.state = http::RunState::kStopped;
        break;
    }
    if (snapshot.held_back() && snapshot.state == RunState::kRunning) {
      status.state = http::RunState::kRecordsHeldBack;
      status.record_failure = snapshot.records->reason;
    }
    status.totals = snapshot.totals;
    status.version = QVX_VERSION;
    status.host = records::HostName();
    {
      const std::lock_guard lock(mutex_);
      status.operations = operations_;
    }
    status.next_label = snapshot.next_label;
    if (snapshot.unshipped)
      status.records_not_shipped = *snapshot.unshipped;
    return status;
  }
  std::vector<station::SocketView> Sockets() override { return control_.Snapshot().sockets; }
  void Stop(bool cut) override {
    if (cut)
      control_.CutOff();
    else
      control_.LetFinish();
  }
  std::optional<std::string> Start() override { return control_.Start(); }
  void Label(std::string label) override { control_.Scan(label); }
  void RecordControl(const http::ControlRequest& request) override {
    std::string what = ControlWhat(request.action);
    if (request.action == http::ControlAction::kLabel)
      what += " " + request.label;
    control_.RecordControl(what, request.from);
  }
  std::vector<std::string> RecordsAfter(uint64_t after, size_t most) override {
    const std::lock_guard lock(mutex_);
    if (after < dropped_)
      throw http::RecordsGone(http::text::RecordsGone(kRecordLinesKept));
    std::vector<std::string> lines;
    for (uint64_t i = after - dropped_; i < lines_.size() && lines.size() < most; ++i)
      lines.push_back(lines_[i]);
    return lines;
  }

 private:
  // The feed's events for the set open now.
  http::FeedEvents& Feed() {
    const std::lock_guard lock(mutex_);
    return *events_;
  }

  // The station's events go to the feed of the set they belong to.
  class Forward final : public station::StationEvents {
   public:
    explicit Forward(HttpStation& station) : station_(station) {}
    void Plugged(const station::SocketView& s) override { station_.Feed().Plugged(s); }
    void LoadStarting(const station::SocketView& s) override { station_.Feed().LoadStarting(s); }
    void AttemptEnded(const station::SocketView& s, const station::AttemptReport& r) override {
      station_.Feed().AttemptEnded(s, r);
    }
    void LoadEnded(const station::SocketView& s) override { station_.Feed().LoadEnded(s); }
    void Emptied(const station::SocketView& s) override { station_.Feed().Emptied(s); }

   private:
    HttpStation& station_;
  };

  StationControl& control_;
  std::mutex mutex_;
  std::vector<std::string> operations_;
  http::EventFeed feed_;
  // Made again only when a set is opened, which is never during a run.
  std::unique_ptr<http::FeedEvents> events_;
  Forward forward_{*this};
  std::deque<std::string> lines_;
  uint64_t dropped_ = 0;
  // Last: it goes first, so that no request is answered from what has gone.
  http::HttpServer server_;
};

}  // namespace

std::unique_ptr<station_core::LineServer> ServeOverHttp(const station_core::ServerOptions& options,
                                                        StationControl& control) {
  auto station = std::make_unique<HttpStation>(ReadSettings(options), control);
  station->SetOpened();
  if (const auto cannot = station->Listen())
    throw std::runtime_error(*cannot);
  return station;
}

}  // namespace qvx::station_line
