// The station soak: a thousand units through a virtual conveyor of sixteen sockets, a seeded share
// of them pulled in the middle of their load and one serial number that glitches once per plug,
// with one retry allowed. Every unit recorded as passed holds, at that moment, exactly what a load
// of the same set into that unit alone leaves; every pull has its record and no passed end; the
// glitching unit passes on its second attempt; and once the station is gone no thread, handle or
// descriptor of it is left.
//
// QVX_STATION_SOAK_SEED=n replays a run, QVX_STATION_SOAK_UNITS=n sets its length, QVX_SOAK_LOG=1
// logs every plug and pull on standard error and keeps the generator's capture. Under CI the seed
// is fixed.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <thread>

#include "cli/load_command.h"
#include "device/d2xx.h"
#include "records/record.h"
#include "station/station.h"
#include "station_core/station_record.h"
#include "tests/support/conveyor.h"
#include "tests/support/environment.h"
#include "tests/support/rack_file.h"
#include "tests/support/recording_clock.h"
#include "tests/support/session.h"
#include "tests/support/test_files.h"

namespace qvx::soak {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using station::SocketView;

constexpr uint64_t kCiSeed = 20261209;
constexpr int kSockets = 16;
constexpr int kSerials = 24;  // the conveyor's pool: units come back with their flash
constexpr const char* kGlitching = "QVX00007";
constexpr int kPullPercent = 15;

uint64_t EnvNumber(const char* name, uint64_t fallback) {
  const char* text = std::getenv(name);
  return text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 10) : fallback;
}

using test::Conveyor;

class StationSoak : public ::testing::Test {
 protected:
  static int Count(const char* folder) {
    std::error_code error;
    return static_cast<int>(
        std::distance(fs::directory_iterator(folder, error), fs::directory_iterator()));
  }

  // What the process has open, for a report.
  static std::string OpenFiles() {
    std::string open;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd", error))
      open += " " + fs::read_symlink(entry.path(), error).string();
    return open;
  }

  test::GeneratorControl generator;
};

// The soak's front end: records every event, pulls units the conveyor chose mid-load, checks each
// passed unit's flash, and frees the socket of a finished one.
class SoakEvents final : public station::StationEvents {
 public:
  SoakEvents(cli::StationRecorder& records, Conveyor& conveyor, test::GeneratorControl& generator,
             std::vector<uint8_t> expected)
      : records_(records),
        conveyor_(conveyor),
        generator_(generator),
        expected_(std::move(expected)) {}

  void LoadStarting(const SocketView& socket) override { records_.Begin(socket); }
  void AttemptEnded(const SocketView& socket, const station::AttemptReport& report) override {
    records_.AttemptEnded(socket, report);
  }
  void LoadEnded(const SocketView& socket) override {
    records_.LoadEnded(socket);
    if (socket.end == station::LoadEnd::kPassed) {
      conveyor_.Still([&](const std::map<std::string, int>& order) {
        const auto listed = order.find(socket.port);
        ASSERT_NE(listed, order.end()) << socket.port;
        ASSERT_TRUE(generator_.SelectUnit(listed->second));
        const auto flash = generator_.Flash();
        if (!std::equal(flash.begin(), flash.end(), expected_.begin(), expected_.end()))
          ++wrong_flash;
        ++checked;
      });
    }
    if (socket.end != station::LoadEnd::kPulled)
      conveyor_.Still([&](const auto&) { finished.push_back(socket.port); });
  }

  // Ports to free, guarded by the conveyor's lock; the station's own thread takes them.
  std::vector<std::string> finished;
  int checked = 0;
  int wrong_flash = 0;

 private:
  cli::StationRecorder& records_;
  Conveyor& conveyor_;
  test::GeneratorControl& generator_;
  std::vector<uint8_t> expected_;
};

TEST_F(StationSoak, AThousandUnitsPluggedPulledAndGlitchingLeaveEachPassedUnitLoaded) {
  const uint64_t seed = std::getenv("CI") != nullptr
                            ? kCiSeed
                            : EnvNumber("QVX_STATION_SOAK_SEED", std::random_device()());
  const int units = static_cast<int>(EnvNumber("QVX_STATION_SOAK_UNITS", QVX_STATION_SOAK_UNITS));
  std::cout << "station soak: seed " << seed << ", " << units << " units\n";

  const std::string pattern =
      test::WriteFile("soak-pattern.tst", std::vector<uint8_t>(kPatternSize, 0xA7));
  const std::vector<station::Operation> operations = {
      {DownloadRequest::Banner(1), {}, true, "erase banner 2"},
      {DownloadRequest::Pattern(5), pattern, false, "pattern 5"},
  };
  // The reference: the same two operations into a generator alone.
  std::vector<uint8_t> expected;
  int pauses = 0;  // a load's busy pauses: a pull at one of the first half lands before a write
  {
    generator.Reset();
    test::Session session(generator);
    for (const auto& operation : operations) {
      ASSERT_EQ(session.Run(operation.request,
                            operation.erase ? std::nullopt : std::optional(operation.file)),
                operation.erase ? Outcome::kLeftErased : Outcome::kCompleted);
    }
    expected.assign(generator.Flash().begin(), generator.Flash().end());
    pauses = session.recorder.clock.pauses;
  }
  ASSERT_GT(pauses, 10);

  const int threads_before = Count("/proc/self/task");
  const int fds_before = Count("/proc/self/fd");
  setenv("QVX_VG_FAULT_UNIT", kGlitching, 1);
  setenv("QVX_VG_GLITCH_AFTER", "600", 1);
  setenv("QVX_VG_LOG_CALLS", std::getenv("QVX_SOAK_LOG") ? "1" : "0", 1);
  test::TestRack rack("soak-rack");
  generator.Reset();
  Conveyor conveyor(rack, kSockets, kSerials, std::getenv("QVX_SOAK_LOG") != nullptr);

  const std::string record_path = test::TempDir() + "/soak-records.jsonl";
  fs::remove(record_path);
  cli::RecordWriter record(record_path);
  const cli::StationFacts facts{"soak", "SOAK-1", {}, {}};
  std::vector<cli::LoadStep> steps = {cli::LoadStep::Erase(operations[0].request.slot),
                                      cli::LoadStep::Load(operations[1].request, pattern)};
  const std::map<std::string, cli::FileFacts> files;
  cli::StationRecorder recorder(&record, facts, steps, files);
  SoakEvents events(recorder, conveyor, generator, expected);

  std::mt19937_64 rng(seed);
  std::mutex rng_mutex;
  std::atomic<int> pulls{0};
  std::set<std::string> pulled_loads;  // "port#load" of the loads pulled
  std::mutex pulled_mutex;
  // A listing makes the generator read its rack at once. FT_ListDevices leaves alone the device
  // information list, which the station's own listing may be reading meanwhile.
  const auto list_count = reinterpret_cast<d2xx::ListDevicesFn>(generator.Symbol("FT_ListDevices"));
  ASSERT_NE(list_count, nullptr);

  station::StationSettings settings;
  settings.operations = operations;
  settings.retries = 1;
  settings.stop_after = units;
  settings.poll_interval = std::chrono::milliseconds(2);
  // A chosen share of the loads is pulled at one of its busy pauses, on the load's own thread, so
  // the pull lands in the middle of a download for certain.
  settings.unit_clock = [&](const SocketView& socket) {
    auto clock = std::make_unique<test::RecordingClock>();
    int pull_at = 0;
    {
      const std::lock_guard lock(rng_mutex);
      if (std::uniform_int_distribution<int>(1, 100)(rng) <= kPullPercent)
        pull_at = std::uniform_int_distribution<int>(1, pauses / 2)(rng);
    }
    if (pull_at > 0) {
      clock->on_pause = [&, pull_at, clock = clock.get(), port = socket.port, load = socket.load] {
        if (clock->pauses != pull_at)
          return;
        // The unit is gone from here on.
        conveyor.Pull(port, ("mid-load " + std::to_string(load)).c_str(), [&] {
          d2xx::Dword count = 0;
          list_count(&count, nullptr, d2xx::FT_LIST_NUMBER_ONLY);
        });
        ++pulls;
        const std::lock_guard lock(pulled_mutex);
        pulled_loads.insert(port + "#" + std::to_string(load));
      };
    }
    return clock;
  };

  {
    SystemLibraryLoader loader;
    station::Station station(std::move(settings), loader, events);
    ASSERT_TRUE(station.usable());
    station.Run([&] {
      conveyor.Fill(units + kSockets);
      // The sockets of finished units are freed as an operator pulls them.
      std::vector<std::string> finished;
      conveyor.Still([&](const auto&) { finished.swap(events.finished); });
      for (const std::string& port : finished)
        conveyor.Pull(port, "finished");
    });
  }
  unsetenv("QVX_VG_FAULT_UNIT");
  unsetenv("QVX_VG_GLITCH_AFTER");
  unsetenv("QVX_VG_LOG_CALLS");

  // The records, load by load.
  // Nothing of the station is left: its threads joined, every unit closed, no descriptor open.
  EXPECT_EQ(Count("/proc/self/task"), threads_before);
  EXPECT_EQ(Count("/proc/self/fd"), fds_before) << OpenFiles();

  std::map<std::string, std::vector<Json>> loads;
  std::ifstream in(record_path);
  for (std::string line; std::getline(in, line);) {
    const Json json = Json::parse(line, nullptr, false);
    ASSERT_TRUE(json.is_object()) << "not a whole record line: " << line;
    loads[json["load"]].push_back(json);
  }
  std::map<std::string, int> ends;
  int glitch_recoveries = 0;
  for (const auto& [id, lines] : loads) {
    ASSERT_EQ(lines.front()["outcome"], "started") << id;
    const std::string end = lines.back()["outcome"];
    ++ends[end];
    const std::string key =
        lines.front()["port"].get<std::string>() + "#" + id.substr(id.find('-') + 1);
    const bool was_pulled = pulled_loads.contains(key);
    EXPECT_EQ(end == "pulled", was_pulled) << id << " ended " << end << ": " << Json(lines).dump();
    if (lines.front()["serial"] == kGlitching && end == "passed") {
      // The glitch takes the first attempt of the plug's first operation to get that far.
      std::vector<std::string> outcomes;
      for (const Json& line : lines)
        outcomes.push_back(line["outcome"]);
      glitch_recoveries += std::count(outcomes.begin(), outcomes.end(), "failed") == 1;
    }
  }
  std::cout << "station soak: " << ends["passed"] << " passed, " << ends["pulled"] << " pulled, "
            << ends["failed"] << " failed, " << glitch_recoveries
            << " glitches recovered by the retry\n";
  EXPECT_EQ(static_cast<int>(loads.size()), units);
  EXPECT_EQ(ends["pulled"], pulls.load());
  EXPECT_EQ(ends["failed"], 0);
  EXPECT_EQ(ends["passed"] + ends["pulled"], units);
  EXPECT_GT(glitch_recoveries, 0);
  EXPECT_EQ(events.checked, ends["passed"]);
  EXPECT_EQ(events.wrong_flash, 0);

  const auto list =
      reinterpret_cast<d2xx::CreateDeviceInfoListFn>(generator.Symbol("FT_CreateDeviceInfoList"));
  d2xx::Dword count = 0;
  ASSERT_EQ(list(&count), d2xx::FT_OK);
  const auto detail =
      reinterpret_cast<d2xx::GetDeviceInfoDetailFn>(generator.Symbol("FT_GetDeviceInfoDetail"));
  for (d2xx::Dword i = 0; i < count; ++i) {
    d2xx::Dword flags = 0, type = 0, id = 0, location = 0;
    char serial[16], description[64];
    d2xx::Handle handle = nullptr;
    ASSERT_EQ(detail(i, &flags, &type, &id, &location, serial, description, &handle), d2xx::FT_OK);
    EXPECT_EQ(flags & d2xx::FT_FLAGS_OPENED, 0u) << serial << " was left open";
  }
}

}  // namespace
}  // namespace qvx::soak
