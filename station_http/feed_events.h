// The station's events as the board's events: a StationEvents the front end hands the station's
// events to (after the records are written), which publishes each into the feed, and the run's own
// events, which the front end calls as its run stops, starts again or holds its records back.
// Every event of a socket carries the socket as /api/v1/sockets shows it.
#pragma once

#include <string>
#include <vector>

#include "station/events.h"
#include "station_http/event_feed.h"

namespace qvx::station_http {

// The event types, as the stream names them.
namespace event {
inline constexpr const char* kPlugged = "plugged";
inline constexpr const char* kStarted = "started";
inline constexpr const char* kOperationEnded = "operation ended";
inline constexpr const char* kPassed = "passed";
inline constexpr const char* kFailed = "failed";
inline constexpr const char* kPulled = "pulled";
inline constexpr const char* kCutOff = "cut off";
inline constexpr const char* kEmptied = "emptied";
inline constexpr const char* kStopping = "stopping";
inline constexpr const char* kStopped = "stopped";
inline constexpr const char* kStartedAgain = "started again";
inline constexpr const char* kRecordsHeldBack = "records held back";
// Not published: what a stream begins with.
inline constexpr const char* kSnapshot = "snapshot";
inline constexpr const char* kReset = "reset";
}  // namespace event

class FeedEvents final : public station::StationEvents {
 public:
  // `operation_names`: each operation's description, in order, for the sockets' "operation_name".
  FeedEvents(EventFeed& feed, std::vector<std::string> operation_names);

  // Carries the unit's serial and description: the socket shows empty until its load begins.
  void Plugged(const station::SocketView& socket) override;
  void LoadStarting(const station::SocketView& socket) override;
  void AttemptEnded(const station::SocketView& socket,
                    const station::AttemptReport& report) override;
  // "passed", "failed", "pulled" or "cut off", by how the load ended.
  void LoadEnded(const station::SocketView& socket) override;
  // Carries the serial of the unit that was pulled.
  void Emptied(const station::SocketView& socket) override;

  // The run's events. `cut`: the running loads are being cut off.
  void Stopping(bool cut);
  void Stopped();
  void StartedAgain();
  void RecordsHeldBack(const std::string& reason);

 private:
  void Publish(const char* type, const station::SocketView& socket, Json more = Json::object());

  EventFeed& feed_;
  std::vector<std::string> operation_names_;
};

}  // namespace qvx::station_http
