// The station over a long shift, in-process: units from a fixed pool of serial numbers plugged
// into every free socket of the virtual generator's rack as soon as the last one is pulled, each
// loaded with one pattern on clocks that do not wait, its records written. Every thousand ended
// loads, once the loads under way have ended, it reads the resident memory (after malloc_trim(0),
// so that only what is held counts),
// the threads and the open descriptors, and at the end whether they came back to their idle
// counts. The virtual generator runs in this process and keeps each serial's flash, all of them
// by the first thousand units; from there on nothing should grow.
//
//   qvx_station_memory [UNITS [SOCKETS [SERIALS]]]      (default 10000 32 96)
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "content/content_set.h"
#include "station/events.h"
#include "station_core/station_session.h"
#include "tests/support/conveyor.h"
#include "tests/support/rack_file.h"
#include "tests/support/recording_clock.h"
#include "tests/support/test_files.h"
#include "tests/support/virtual_generator.h"

namespace {

namespace fs = std::filesystem;

long ResidentKilobytes() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with("VmRSS:"))
      return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return -1;
}

int Count(const char* folder) {
  std::error_code error;
  return static_cast<int>(
      std::distance(fs::directory_iterator(folder, error), fs::directory_iterator()));
}

// The sockets of finished units, for the conveyor to free; how many loads have begun and ended.
class Finished final : public qvx::station::StationEvents {
 public:
  void LoadStarting(const qvx::station::SocketView&) override {
    const std::lock_guard lock(mutex_);
    ++begun_;
  }
  void LoadEnded(const qvx::station::SocketView& socket) override {
    const std::lock_guard lock(mutex_);
    ports_.push_back(socket.port);
    ++ended_;
  }
  // The ports to free; `ended` and `running` say how many loads have ended and are under way.
  std::vector<std::string> Take(int& ended, int& running) {
    const std::lock_guard lock(mutex_);
    ended = ended_;
    running = begun_ - ended_;
    return std::exchange(ports_, {});
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> ports_;
  int begun_ = 0;
  int ended_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  const int units = argc > 1 ? std::atoi(argv[1]) : 10000;
  const int sockets = argc > 2 ? std::atoi(argv[2]) : 32;
  const int serials = argc > 3 ? std::atoi(argv[3]) : 96;
  setenv("QVX_VG_FLASH", "none", 1);
  setenv("QVX_VG_LOG_CALLS", "0", 1);
  qvx::test::TestRack rack("memory-rack");
  qvx::test::VirtualGenerator generator(QVX_EMULATOR_DIR "/libftd2xx.so");
  generator.Reset();
  qvx::test::Conveyor conveyor(rack, sockets, serials);

  const std::string pattern = qvx::test::TempDir() + "/memory-pattern.tst";
  std::ofstream(pattern, std::ios::binary) << std::string(2880, 'Z');
  const std::string record = qvx::test::TempDir() + "/memory-records.jsonl";
  fs::remove(record);
  qvx::content::ContentSet set;
  set.steps = {qvx::content::LoadStep::Load(qvx::DownloadRequest::Pattern(7), pattern)};

  qvx::SystemLibraryLoader library(QVX_EMULATOR_DIR "/libftd2xx.so");
  Finished finished;
  qvx::station_core::StationSession session(library, &finished);
  qvx::station_core::StationSetup setup;
  setup.record_file = record;
  setup.stop_after = units;
  setup.poll_interval = std::chrono::milliseconds(2);
  setup.unit_clock = [](const qvx::station::SocketView&) {
    return std::make_unique<qvx::test::RecordingClock>();
  };
  std::ostringstream notes;
  if (const auto refusal = session.Prepare(set, setup, notes)) {
    std::cerr << *refusal << '\n';
    return 1;
  }
  const int threads_idle = Count("/proc/self/task");
  const int fds_idle = Count("/proc/self/fd");
  std::printf("%8s %12s %8s %6s\n", "units", "rss_kb", "threads", "fds");
  std::vector<std::pair<int, long>> samples;
  {
    const auto station = session.NewStation();
    int next_sample = 1000;
    station->Run([&] {
      int ended = 0, running = 0;
      for (const std::string& port : finished.Take(ended, running))
        conveyor.Pull(port, "finished");
      // At each thousand, no unit is plugged until the loads under way have ended: memory is
      // read with the station idle, as it is between shifts, not with a varying number of loads
      // and their threads in flight.
      if (ended < next_sample)
        conveyor.Fill(units + sockets);
      else if (running == 0) {
        malloc_trim(0);
        const long rss = ResidentKilobytes();
        samples.emplace_back(ended, rss);
        std::printf("%8d %12ld %8d %6d\n", ended, rss, Count("/proc/self/task"),
                    Count("/proc/self/fd"));
        std::fflush(stdout);
        next_sample += 1000;
      }
    });
  }
  malloc_trim(0);
  const int threads_after = Count("/proc/self/task");
  const int fds_after = Count("/proc/self/fd");
  std::printf("idle before: %d threads, %d descriptors; after: %d threads, %d descriptors\n",
              threads_idle, fds_idle, threads_after, fds_after);
  if (samples.size() >= 2) {
    const long growth = samples.back().second - samples.front().second;
    std::printf("resident memory from unit %d to unit %d: %+ld KB (%.2f KB a unit)\n",
                samples.front().first, samples.back().first, growth,
                static_cast<double>(growth) / (samples.back().first - samples.front().first));
  }
  return 0;
}
