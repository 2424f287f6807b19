// A station for the HTTP interface's tests and its board demo: what it answers is set by the
// test, and its sockets change only when the test says so, each change told through FeedEvents as
// the real station's front end tells it. It keeps every control call it receives.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "station/socket.h"
#include "station_http/event_feed.h"
#include "station_http/feed_events.h"
#include "station_http/station_service.h"

namespace qvx::test {

using station_http::ControlRequest;
using station_http::RunState;
using station_http::StationStatus;

// A set with two operations, an operator and a work order, running.
StationStatus ExampleStatus();

class FakeStation final : public station_http::StationService {
 public:
  FakeStation(station_http::EventFeed& feed, StationStatus status = ExampleStatus());

  // A unit plugged in and its load begun.
  void Plug(const std::string& port, const std::string& serial, const std::string& label = "");
  void Progress(const std::string& port, size_t operation, int progress);
  // The attempt at the socket's running operation ended; on completion the next one runs.
  void EndAttempt(const std::string& port, station::AttemptEnd end, const std::string& reason = "");
  void EndLoad(const std::string& port, station::LoadEnd end, const std::string& reason = "");
  // The unit was taken out of its socket.
  void Empty(const std::string& port);
  void SetState(RunState state);
  void AddRecord(std::string line);

  // The service.
  StationStatus Status() override;
  std::vector<station::SocketView> Sockets() override;
  void Stop(bool cut) override;
  std::optional<std::string> Start() override;
  void Label(std::string label) override;
  void RecordControl(const ControlRequest& request) override;
  std::vector<std::string> RecordsAfter(uint64_t after, size_t most) override;

  // What control asked of it.
  struct Calls {
    int stops = 0;
    int cuts = 0;
    int starts = 0;
    std::vector<std::string> labels;
    std::vector<ControlRequest> recorded;
  };
  Calls calls() const;
  // What Start answers; nothing: it starts.
  void RefuseStart(std::optional<std::string> refusal);

 private:
  station::SocketView& SocketAt(const std::string& port);

  mutable std::mutex mutex_;
  StationStatus status_;
  std::vector<station::SocketView> sockets_;
  station_http::FeedEvents events_;
  std::vector<std::string> records_;
  Calls calls_;
  std::optional<std::string> start_refusal_;
  uint64_t loads_ = 0;
};

}  // namespace qvx::test
