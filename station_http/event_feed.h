// The board's events as they happen, kept for clients that reconnect: the station (through
// FeedEvents) publishes into it from any of its threads; each event stream reads from it. The last
// 10,000 events are kept. Each event's id is the run's id and the event's sequence ("3f9a1c2e-17"),
// so a client that comes back with the last id it saw gets what it missed, or, when that is no
// longer kept or is of another run, is told to start afresh.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "station_http/json_views.h"

namespace qvx::station_http {

inline constexpr size_t kEventsKept = 10000;

struct FeedEvent {
  uint64_t sequence = 0;  // from 1
  std::string type;       // "plugged", "passed", ...
  std::string data;       // its JSON, one line
};

// What a client that last saw an event is to be sent.
struct Resume {
  bool reset = false;             // it must start afresh from a snapshot
  const char* reason = "";        // why, when reset
  uint64_t after = 0;             // otherwise: the last event it has,
  std::vector<FeedEvent> events;  // and what it missed since, in order
};

class EventFeed {
 public:
  // `run`: tells this run's events from another's; `kept`: how many events are kept.
  explicit EventFeed(std::string run, size_t kept = kEventsKept);

  // A run id no other run is likely to have: 8 random hex digits.
  static std::string NewRunId();

  // Adds an event, its "type" and "time" put into `fields`; any thread, quick. The sequence.
  uint64_t Publish(std::string_view type, Json fields);

  const std::string& run() const { return run_; }
  std::string IdOf(uint64_t sequence) const;  // "3f9a1c2e-17"
  uint64_t last() const;                      // 0 before the first event

  // What a client whose Last-Event-ID is `last_event_id` missed.
  Resume After(std::string_view last_event_id) const;
  // The kept events after `sequence`, in order.
  std::vector<FeedEvent> Since(uint64_t sequence) const;
  // Waits until there is an event after `sequence`, `most` has passed, or `stop` is set and Wake
  // called.
  void WaitAfter(uint64_t sequence, std::chrono::milliseconds most,
                 const std::atomic<bool>& stop) const;
  // Wakes every waiter, to look at its `stop`.
  void Wake() const;

 private:
  std::string run_;
  size_t kept_;
  mutable std::mutex mutex_;
  mutable std::condition_variable published_;
  std::deque<FeedEvent> events_;
  uint64_t last_ = 0;
};

}  // namespace qvx::station_http
