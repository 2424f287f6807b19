// qvx5120-board-demo: the HTTP interface over a fake station whose sockets play a short run, for
// the browser checks (scripts/test-board), the board's screenshot and a look by hand. It takes the
// interface's own options (--http, --http-token, ...) as the station's front ends do, and:
//   --host-name NAME      the station's host name on its board (default line-pc-4)
//   --stream-seconds S    how long an event stream lasts before its client resumes it (default 600)
//   --now                 play the run at once, not when the first event stream opens
// It writes the interface's line ("HTTP interface on http://...") and serves until SIGINT or
// SIGTERM; then it says on standard error how many event streams it served. The run: five sockets;
// two units pass, one fails with a reason, one is pulled mid-load and its socket empties, one stays
// loading.
#include <signal.h>

#include <chrono>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>

#include "station_http/http_options.h"
#include "station_http/http_server.h"
#include "station_http/texts.h"
#include "tests/station_http/fake_station.h"

namespace {

using namespace qvx;
using station::AttemptEnd;
using station::LoadEnd;
using std::chrono::milliseconds;

constexpr milliseconds kStep{120};

void Play(test::FakeStation& station, const std::atomic<bool>& stop) {
  const auto step = [&] {
    if (!stop)
      std::this_thread::sleep_for(kStep);
  };
  const char* ports[] = {"1-1.1", "1-1.2", "1-1.3", "1-1.4", "1-2.1"};
  const char* serials[] = {"QVX00101", "QVX00102", "QVX00103", "QVX00104", "QVX00105"};
  for (int i = 0; i < 5; ++i) {
    station.Plug(ports[i], serials[i], i == 0 ? "A-1001" : "");
    step();
  }
  for (int progress = 20; progress <= 100; progress += 40) {
    for (const char* port : ports)
      station.Progress(port, 0, progress);
    step();
  }
  for (const char* port : ports)
    station.EndAttempt(port, AttemptEnd::kCompleted);
  step();
  station.EndLoad("1-1.3", LoadEnd::kPulled, "the unit was pulled before its load ended");
  step();
  station.EndAttempt("1-1.4", AttemptEnd::kFailed,
                     "the generator stopped answering (no status after the erase)");
  station.EndLoad("1-1.4", LoadEnd::kFailed,
                  "the generator stopped answering (no status after the erase)");
  step();
  for (const char* port : {"1-1.1", "1-1.2", "1-2.1"})
    station.Progress(port, 1, 60);
  step();
  for (const char* port : {"1-1.1", "1-1.2"}) {
    station.EndAttempt(port, AttemptEnd::kCompleted);
    station.EndLoad(port, LoadEnd::kPassed);
    step();
  }
}

int Usage(const std::string& problem) {
  std::cerr << "qvx5120-board-demo: " << problem << "\n"
            << "usage: qvx5120-board-demo --http [ADDRESS:]PORT [--http-token FILE] "
               "[--http-cert FILE --http-key FILE] [--http-host NAME]... [--host-name NAME] "
               "[--stream-seconds S] [--now]\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  station_http::HttpOptions options;
  std::string host_name = "line-pc-4";
  station_http::ServerLimits limits;
  bool now = false;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (station_http::HttpOptions::Names(option)) {
      if (const auto problem = options.Take(option, value))
        return Usage(*problem);
      ++i;
    } else if (option == "--host-name" && value != nullptr) {
      host_name = value;
      ++i;
    } else if (option == "--stream-seconds" && value != nullptr) {
      limits.stream_lifetime = milliseconds(static_cast<long>(std::stod(value) * 1000));
      ++i;
    } else if (option == "--now") {
      now = true;
    } else {
      return Usage("unknown option \"" + option + "\"");
    }
  }
  const station_http::SettingsRead read = options.Settings();
  if (!read.settings)
    return Usage(read.error.empty() ? "--http is needed" : read.error);

  // The signals are taken by sigwait below, never by the server's or the run's threads.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  station_http::EventFeed feed(station_http::EventFeed::NewRunId());
  test::StationStatus status = test::ExampleStatus();
  status.host = host_name;
  test::FakeStation station(feed, status);
  station_http::HttpServer server(*read.settings, station, feed, limits);
  if (const auto problem = server.Start()) {
    std::cerr << "qvx5120-board-demo: " << *problem << "\n";
    return 1;
  }
  std::cout << station_http::text::Serving(server.Url(), server.ControlWords()) << std::endl;

  std::atomic<bool> stop{false};
  std::thread run([&] {
    while (!now && !stop && server.event_streams() == 0)
      std::this_thread::sleep_for(milliseconds(10));
    if (!stop)
      Play(station, stop);
  });
  int signal = 0;
  sigwait(&signals, &signal);
  stop = true;
  run.join();
  server.Stop();
  std::cerr << "qvx5120-board-demo: " << server.event_streams_begun() << " event streams served\n";
  return 0;
}
