// An event stream read on a thread of its own, its events parsed as they come: for the tests of
// the stream over a fake station and of a real station's.
#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "tests/station_http/served_station.h"

namespace qvx::test {

struct Event {
  std::string id;
  std::string type;
  nlohmann::json data;
};

// Reads one event stream on a thread of its own and parses its events as they come.
class StreamReader {
 public:
  StreamReader(const ServedStation& served, std::string last_event_id = "")
      : StreamReader(served.server.port(), std::move(last_event_id)) {}
  // A stream of the server on 127.0.0.1:`port`.
  StreamReader(int port, std::string last_event_id = "") : client_("127.0.0.1", port) {
    client_.set_read_timeout(30, 0);
    httplib::Headers headers;
    if (!last_event_id.empty())
      headers.emplace("Last-Event-ID", last_event_id);
    thread_ = std::thread([this, headers] {
      const auto result =
          client_.Get("/api/v1/events", headers, [this](const char* data, size_t length) {
            Take(std::string(data, length));
            return !stop_.load();
          });
      const std::lock_guard lock(mutex_);
      status_ = result ? result->status : -1;
      ended_ = true;
      changed_.notify_all();
    });
  }
  ~StreamReader() {
    stop_ = true;
    thread_.join();
  }

  // Waits until `count` events have come (or the stream ended, or 10 s passed): the events.
  std::vector<Event> Await(size_t count) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(10),
                      [&] { return events_.size() >= count || ended_; });
    return events_;
  }
  // Waits until `count` events of `type` have come (or the stream ended, or 30 s passed): whether
  // they did.
  bool AwaitType(const std::string& type, size_t count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(30), [&] {
      return std::count_if(events_.begin(), events_.end(),
                           [&](const Event& event) { return event.type == type; }) >=
                 static_cast<long>(count) ||
             ended_;
    }) && !ended_;
  }
  // Waits for the stream's end: its status.
  int AwaitEnd() {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(10), [&] { return ended_; });
    return ended_ ? status_ : 0;
  }
  // Ends the stream at the next thing it receives.
  void Leave() { stop_ = true; }
  std::string text() {
    const std::lock_guard lock(mutex_);
    return text_;
  }

 private:
  void Take(const std::string& chunk) {
    const std::lock_guard lock(mutex_);
    text_ += chunk;
    pending_ += chunk;
    for (size_t end = pending_.find("\n\n"); end != std::string::npos;
         end = pending_.find("\n\n")) {
      const std::string block = pending_.substr(0, end);
      pending_.erase(0, end + 2);
      Event event;
      std::istringstream lines(block);
      for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("id: "))
          event.id = line.substr(4);
        else if (line.starts_with("event: "))
          event.type = line.substr(7);
        else if (line.starts_with("data: "))
          event.data = nlohmann::json::parse(line.substr(6));
      }
      if (!event.type.empty())
        events_.push_back(std::move(event));
    }
    changed_.notify_all();
  }

  httplib::Client client_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::condition_variable changed_;
  std::string text_;
  std::string pending_;
  std::vector<Event> events_;
  bool ended_ = false;
  int status_ = 0;
};

}  // namespace qvx::test
