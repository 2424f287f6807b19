// qvx_http_clients: the clients a line puts on a station's HTTP interface, to measure what they
// cost it (bench/station with QVX_BENCH_HTTP_CLIENTS) and what they see: event streams that
// resume as a browser does, and pollers of /api/v1/sockets once a second.
//
//   qvx_http_clients URL [--streams N] [--pollers N] [--seconds S] [--cacert FILE]
//
// URL is the station's (http://127.0.0.1:8080). Runs S seconds (default: until SIGINT or SIGTERM),
// then writes one line: streams opened and refused, events per stream (fewest, most), resumes,
// each event's delay from its "time" to its arrival (p50, p99), and the polls' answers and
// latency (p50, p99, longest).
#include <signal.h>

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iostream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

struct Target {
  std::string scheme_host_port;  // "http://127.0.0.1:8080"
  std::string cacert;
};

std::unique_ptr<httplib::Client> NewClient(const Target& target) {
  auto client = std::make_unique<httplib::Client>(target.scheme_host_port);
  if (!target.cacert.empty())
    client->set_ca_cert_path(target.cacert.c_str());
  client->set_connection_timeout(5, 0);
  // Longer than a station's heartbeat, so that an idle stream is not taken for a dead one.
  client->set_read_timeout(30, 0);
  return client;
}

// "2026-12-07T21:30:04.125Z" as milliseconds since the epoch, or nothing.
std::optional<int64_t> EpochMilliseconds(const std::string& iso) {
  std::tm utc{};
  int milliseconds_part = 0;
  if (std::sscanf(iso.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d.%3dZ", &utc.tm_year, &utc.tm_mon,
                  &utc.tm_mday, &utc.tm_hour, &utc.tm_min, &utc.tm_sec, &milliseconds_part) != 7)
    return std::nullopt;
  utc.tm_year -= 1900;
  utc.tm_mon -= 1;
  return static_cast<int64_t>(timegm(&utc)) * 1000 + milliseconds_part;
}

int64_t NowEpochMilliseconds() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

double Percentile(std::vector<double> values, double share) {
  if (values.empty())
    return 0;
  std::sort(values.begin(), values.end());
  const size_t at = std::min(values.size() - 1, static_cast<size_t>(share * values.size()));
  return values[at];
}

class Figures {
 public:
  void Stream(bool opened) { ++(opened ? opened_ : refused_); }
  void Resumed() { ++resumes_; }
  void Event(double delay_ms) {
    const std::lock_guard lock(mutex_);
    event_delays_.push_back(delay_ms);
  }
  void Poll(bool answered, double latency_ms) {
    const std::lock_guard lock(mutex_);
    if (answered)
      poll_latencies_.push_back(latency_ms);
    else
      ++poll_failures_;
  }
  void StreamEvents(int count) {
    const std::lock_guard lock(mutex_);
    events_per_stream_.push_back(count);
  }

  void Print() {
    const std::lock_guard lock(mutex_);
    const auto [fewest, most] =
        events_per_stream_.empty()
            ? std::pair(0, 0)
            : std::pair(*std::min_element(events_per_stream_.begin(), events_per_stream_.end()),
                        *std::max_element(events_per_stream_.begin(), events_per_stream_.end()));
    std::printf(
        "streams: %d opened, %d refused, events per stream %d to %d, %d resumes, event delay p50 "
        "%.0f ms p99 %.0f ms; polls: %zu answered, %d failed, latency p50 %.1f ms p99 %.1f ms "
        "longest %.1f ms\n",
        opened_.load(), refused_.load(), fewest, most, resumes_.load(),
        Percentile(event_delays_, 0.5), Percentile(event_delays_, 0.99), poll_latencies_.size(),
        poll_failures_, Percentile(poll_latencies_, 0.5), Percentile(poll_latencies_, 0.99),
        poll_latencies_.empty()
            ? 0.0
            : *std::max_element(poll_latencies_.begin(), poll_latencies_.end()));
  }

 private:
  std::atomic<int> opened_{0};
  std::atomic<int> refused_{0};
  std::atomic<int> resumes_{0};
  std::mutex mutex_;
  std::vector<double> event_delays_;
  std::vector<double> poll_latencies_;
  std::vector<int> events_per_stream_;
  int poll_failures_ = 0;
};

// One event stream, resumed with Last-Event-ID whenever it ends, as a browser resumes it.
void Stream(const Target& target, const std::atomic<bool>& stop, Figures& figures,
            std::vector<httplib::Client*>& open, std::mutex& open_mutex) {
  std::string last_id;
  std::string pending;
  int events = 0;
  while (!stop) {
    auto client = NewClient(target);
    {
      const std::lock_guard lock(open_mutex);
      open.push_back(client.get());
    }
    httplib::Headers headers;
    if (!last_id.empty()) {
      headers.emplace("Last-Event-ID", last_id);
      figures.Resumed();
    }
    bool opened = false;
    const auto result =
        client->Get("/api/v1/events", headers, [&](const char* data, size_t length) {
          opened = true;
          pending.append(data, length);
          for (size_t end = pending.find("\n\n"); end != std::string::npos;
               end = pending.find("\n\n")) {
            const std::string block = pending.substr(0, end);
            pending.erase(0, end + 2);
            std::string type;
            for (size_t at = 0; at < block.size();) {
              const size_t line_end = std::min(block.find('\n', at), block.size());
              const std::string line = block.substr(at, line_end - at);
              if (line.starts_with("id: "))
                last_id = line.substr(4);
              else if (line.starts_with("event: "))
                type = line.substr(7);
              else if (line.starts_with("data: ") && type != "snapshot" && type != "reset") {
                const auto json = nlohmann::json::parse(line.substr(6), nullptr, false);
                if (json.is_object() && json.contains("time"))
                  if (const auto sent = EpochMilliseconds(json["time"].get<std::string>()))
                    figures.Event(static_cast<double>(NowEpochMilliseconds() - *sent));
                ++events;
              }
              at = line_end + 1;
            }
          }
          return !stop.load();
        });
    {
      const std::lock_guard lock(open_mutex);
      open.erase(std::find(open.begin(), open.end(), client.get()));
    }
    figures.Stream(opened || (result && result->status == 200));
    if (!stop)
      std::this_thread::sleep_for(milliseconds(opened ? 100 : 1000));
  }
  figures.StreamEvents(events);
}

// Reads the sockets once a second, on one connection kept alive.
void Poll(const Target& target, const std::atomic<bool>& stop, Figures& figures, int index) {
  auto client = NewClient(target);
  client->set_read_timeout(5, 0);
  // Spread over the second, as independent pollers would be.
  auto next = Clock::now() + milliseconds(100 * index);
  while (!stop) {
    std::this_thread::sleep_until(next);
    next += std::chrono::seconds(1);
    const auto began = Clock::now();
    const auto result = client->Get("/api/v1/sockets");
    const double latency = std::chrono::duration<double, std::milli>(Clock::now() - began).count();
    figures.Poll(result && result->status == 200, latency);
  }
}

int Usage(const std::string& problem) {
  std::cerr << "qvx_http_clients: " << problem
            << "\nusage: qvx_http_clients URL [--streams N] [--pollers N] [--seconds S] "
               "[--cacert FILE]\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2)
    return Usage("no URL");
  Target target{argv[1], {}};
  while (target.scheme_host_port.ends_with("/"))
    target.scheme_host_port.pop_back();
  int streams = 50;
  int pollers = 10;
  double seconds = 0;
  for (int i = 2; i < argc; i += 2) {
    const std::string option = argv[i];
    if (i + 1 >= argc)
      return Usage(option + ": missing value");
    const std::string value = argv[i + 1];
    if (option == "--streams")
      streams = std::stoi(value);
    else if (option == "--pollers")
      pollers = std::stoi(value);
    else if (option == "--seconds")
      seconds = std::stod(value);
    else if (option == "--cacert")
      target.cacert = value;
    else
      return Usage("unknown option \"" + option + "\"");
  }

  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  std::atomic<bool> stop{false};
  Figures figures;
  std::mutex open_mutex;
  std::vector<httplib::Client*> open;
  std::vector<std::thread> threads;
  for (int i = 0; i < streams; ++i)
    threads.emplace_back([&] { Stream(target, stop, figures, open, open_mutex); });
  for (int i = 0; i < pollers; ++i)
    threads.emplace_back([&, i] { Poll(target, stop, figures, i); });

  if (seconds > 0) {
    timespec wait{static_cast<time_t>(seconds),
                  static_cast<long>((seconds - static_cast<long>(seconds)) * 1e9)};
    sigtimedwait(&signals, nullptr, &wait);
  } else {
    int signal = 0;
    sigwait(&signals, &signal);
  }
  stop = true;
  {
    // A stream waiting for its next event is ended from here.
    const std::lock_guard lock(open_mutex);
    for (httplib::Client* client : open)
      client->stop();
  }
  for (std::thread& thread : threads)
    thread.join();
  figures.Print();
  return 0;
}
