// GET /api/v1/events: the board's events as Server-Sent Events. A stream begins with a snapshot of
// the station and its sockets, or, for a client that comes back with Last-Event-ID, with what it
// missed (a reset and a fresh snapshot when that is no longer kept or is of another run); then each
// event as it is published. Each stream holds one of the server's threads for its life, and waits
// on the feed, never on the station.
#include <algorithm>
#include <chrono>

#include "station_http/feed_events.h"
#include "station_http/http_answers.h"
#include "station_http/http_server.h"
#include "station_http/texts.h"

namespace qvx::station_http {

namespace {

using Clock = std::chrono::steady_clock;

// How often a waiting stream looks whether its client is still there.
constexpr std::chrono::milliseconds kLook{1000};

std::string Format(const std::string& id, std::string_view type, const std::string& data) {
  std::string text;
  text.reserve(data.size() + type.size() + id.size() + 24);
  text.append("id: ").append(id).append("\nevent: ").append(type).append("\ndata: ");
  text.append(data).append("\n\n");
  return text;
}

}  // namespace

// One client's stream: where it stands in the feed.
class HttpServer::Stream {
 public:
  Stream(HttpServer& server, std::string last_event_id)
      : server_(server), last_event_id_(std::move(last_event_id)), began_(Clock::now()) {}

  // Called by the library for as long as it returns true: writes what is due, or waits a little.
  bool Pump(httplib::DataSink& sink) {
    if (!opened_) {
      opened_ = true;
      return Send(sink, Opening());
    }
    if (server_.stopping_ || Clock::now() - began_ >= server_.limits_.stream_lifetime) {
      sink.done();
      return true;
    }
    std::vector<FeedEvent> events = server_.feed_.Since(sequence_);
    if (!events.empty() && events.front().sequence > sequence_ + 1) {
      // So far behind that what it missed is gone: start it afresh.
      return Send(sink, Fresh(event::kReset, text::kResetTooOld));
    }
    if (!events.empty()) {
      std::string text;
      for (const FeedEvent& event : events)
        text += Format(server_.feed_.IdOf(event.sequence), event.type, event.data);
      sequence_ = events.back().sequence;
      return Send(sink, text);
    }
    const auto beat_due = last_write_ + server_.limits_.heartbeat;
    const auto wait =
        std::chrono::duration_cast<std::chrono::milliseconds>(beat_due - Clock::now());
    server_.feed_.WaitAfter(sequence_, std::clamp(wait, std::chrono::milliseconds(1), kLook),
                            server_.stopping_);
    if (server_.feed_.last() > sequence_ || server_.stopping_)
      return true;
    if (Clock::now() >= beat_due)
      return Send(sink, ":\n\n");
    return sink.is_writable();
  }

 private:
  // The retry interval, then a snapshot, or what a returning client missed.
  std::string Opening() {
    std::string text = "retry: " + std::to_string(server_.limits_.retry.count()) + "\n\n";
    if (last_event_id_.empty())
      return text + Fresh(event::kSnapshot, nullptr);
    Resume resume = server_.feed_.After(last_event_id_);
    if (resume.reset)
      return text + Fresh(event::kReset, resume.reason);
    sequence_ = resume.after;
    for (const FeedEvent& event : resume.events) {
      text += Format(server_.feed_.IdOf(event.sequence), event.type, event.data);
      sequence_ = event.sequence;
    }
    return text;
  }

  // A snapshot of the station and its sockets, with the id of the last event it includes.
  std::string Fresh(const char* type, const char* reason) {
    // The sequence first: an event published meanwhile is sent after the snapshot, and since every
    // event carries its socket whole, the client ends up where the station is.
    sequence_ = server_.feed_.last();
    Json fresh = Json::object();
    if (reason != nullptr)
      fresh["reason"] = reason;
    fresh.update(server_.Snapshot());
    return Format(server_.feed_.IdOf(sequence_), type, Dump(fresh));
  }

  bool Send(httplib::DataSink& sink, const std::string& text) {
    last_write_ = Clock::now();
    return sink.write(text.data(), text.size());
  }

  HttpServer& server_;
  std::string last_event_id_;
  Clock::time_point began_;
  Clock::time_point last_write_;
  bool opened_ = false;
  uint64_t sequence_ = 0;  // the last event the client has
};

void HttpServer::Events(const Request& request, Response& response) {
  if (!request.params.empty())
    return Refuse(response, 400, text::UnknownParameter(request.params.begin()->first));
  if (streams_.fetch_add(1) >= limits_.event_streams) {
    --streams_;
    response.set_header("Retry-After", "5");
    return Refuse(response, 503, text::kTooManyStreams);
  }
  ++streams_begun_;
  auto stream = std::make_shared<Stream>(*this, request.get_header_value("Last-Event-ID"));
  response.set_header("X-Accel-Buffering", "no");
  response.set_chunked_content_provider(
      "text/event-stream", [stream](size_t, httplib::DataSink& sink) { return stream->Pump(sink); },
      [this](bool) { --streams_; });
}

}  // namespace qvx::station_http
