// Turning the station's events into the board's.
#include "station_http/feed_events.h"

namespace qvx::station_http {

namespace {

const char* EndEvent(station::LoadEnd end) {
  switch (end) {
    case station::LoadEnd::kPassed:
      return event::kPassed;
    case station::LoadEnd::kFailed:
      return event::kFailed;
    case station::LoadEnd::kPulled:
      return event::kPulled;
    case station::LoadEnd::kCutOff:
      return event::kCutOff;
  }
  return event::kFailed;
}

}  // namespace

FeedEvents::FeedEvents(EventFeed& feed, std::vector<std::string> operation_names)
    : feed_(feed), operation_names_(std::move(operation_names)) {}

void FeedEvents::Publish(const char* type, const station::SocketView& socket, Json more) {
  more["socket"] = SocketJson(socket, operation_names_);
  feed_.Publish(type, std::move(more));
}

void FeedEvents::Plugged(const station::SocketView& socket) {
  // The socket still shows empty until its load begins: the unit is named beside it.
  Publish(event::kPlugged, socket,
          {{"serial", socket.serial}, {"description", socket.description}});
}

void FeedEvents::LoadStarting(const station::SocketView& socket) {
  Publish(event::kStarted, socket);
}

void FeedEvents::AttemptEnded(const station::SocketView& socket,
                              const station::AttemptReport& report) {
  Publish(event::kOperationEnded, socket, {{"attempt", AttemptJson(report, socket.operations)}});
}

void FeedEvents::LoadEnded(const station::SocketView& socket) {
  Publish(EndEvent(socket.end.value_or(station::LoadEnd::kFailed)), socket);
}

void FeedEvents::Emptied(const station::SocketView& socket) {
  Publish(event::kEmptied, socket, {{"serial", socket.serial}});
}

void FeedEvents::Stopping(bool cut) {
  feed_.Publish(event::kStopping, {{"state", StateWord(RunState::kStopping)}, {"cut", cut}});
}

void FeedEvents::Stopped() {
  feed_.Publish(event::kStopped, {{"state", StateWord(RunState::kStopped)}});
}

void FeedEvents::StartedAgain() {
  feed_.Publish(event::kStartedAgain, {{"state", StateWord(RunState::kRunning)}});
}

void FeedEvents::RecordsHeldBack(const std::string& reason) {
  feed_.Publish(event::kRecordsHeldBack,
                {{"state", StateWord(RunState::kRecordsHeldBack)}, {"reason", reason}});
}

}  // namespace qvx::station_http
