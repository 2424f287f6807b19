// The station on a virtual rack: units plugged in are loaded without a key, a unit pulled mid-load
// is recorded as pulled and loaded afresh when it comes back, a glitching unit is recovered by a
// retry and only by one, and every unit that passed holds what a load of that unit alone leaves.
#include <nlohmann/json.hpp>

#include <signal.h>
#include <algorithm>
#include <atomic>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <future>
#include <map>
#include <sstream>
#include <thread>

#include "cli/station_board.h"
#include "tests/cli/cli_fixture.h"
#include "tests/support/rack_file.h"

namespace qvx::test {
namespace {

using Json = nlohmann::json;
using namespace std::chrono_literals;

class StationTest : public CliTest {
 protected:
  void SetUp() override {
    record = TempDir() + "/station-records.jsonl";
    std::remove(record.c_str());
    set = TempDir() + "/station-set.toml";
    WriteFile("station-banner.bmp", banner_bytes);
    WriteFile("station-banner.bmp.orig", banner_bytes);
    WriteFile("station-pattern.tst", std::vector<uint8_t>(2880, 0x5A));
    std::ofstream(set) << "[banners]\n2 = \"station-banner.bmp\"\n"
                          "[patterns]\n7 = \"station-pattern.tst\"\n";
    CliTest::SetUp();
  }

  void TearDown() override {
    for (const char* name :
         {"QVX_VG_RACK", "QVX_VG_FAULT_UNIT", "QVX_VG_ERASE_MS", "QVX_VG_GLITCH_AFTER"})
      unsetenv(name);
    generator.Reset();
    CliTest::TearDown();
  }

  // The station, run on a thread of its own so the test can plug and pull meanwhile.
  std::future<ToolRun> Station(Lines options) {
    Lines args = {"--station", "--set", set, "--record", record};
    args.insert(args.end(), options.begin(), options.end());
    return std::async(std::launch::async, [this, args] { return Load(args); });
  }

  std::vector<Json> Records() const {
    std::vector<Json> lines;
    std::ifstream in(record);
    for (std::string line; std::getline(in, line);)
      lines.push_back(Json::parse(line));
    return lines;
  }

  // Waits until a record line of `port` has this outcome; false after 30 s.
  bool AwaitRecord(const std::string& port, const std::string& outcome, size_t count = 1) const {
    for (auto deadline = std::chrono::steady_clock::now() + 30s;
         std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(5ms)) {
      size_t seen = 0;
      for (const Json& line : Records())
        seen += line.value("port", "") == port && line.value("outcome", "") == outcome;
      if (seen >= count)
        return true;
    }
    return false;
  }

  // Each load's lines by its `load` id, in the order they were written.
  std::map<std::string, std::vector<Json>> Loads() const {
    std::map<std::string, std::vector<Json>> loads;
    for (const Json& line : Records())
      loads[line.value("load", "")].push_back(line);
    return loads;
  }

  // Listed unit `index`'s flash.
  std::vector<uint8_t> UnitFlash(int index) {
    EXPECT_TRUE(generator.SelectUnit(index)) << index;
    return FlashCopy();
  }

  // What a load of the set into one generator alone leaves in its flash.
  std::vector<uint8_t> SingleUnitFlash() {
    rack.Remove();
    unsetenv("QVX_VG_RACK");
    unsetenv("QVX_VG_FAULT_UNIT");
    unsetenv("QVX_VG_ERASE_MS");
    unsetenv("QVX_VG_GLITCH_AFTER");
    ResetGenerator();
    WriteFile("station-banner.bmp", banner_bytes);
    const ToolRun single = Load({"--set", set});
    EXPECT_EQ(single.status, cli::kExitCompleted) << single.err;
    return FlashCopy();
  }

  std::vector<uint8_t> banner_bytes = MakeBmp(72);
  TestRack rack{"station-rack"};
  std::string record, set;
};

TEST_F(StationTest, LoadsEachUnitAsItIsPluggedInAndAPulledOneAfreshWhenItComesBack) {
  // Unit 2's flash steps take real time, so that it can be pulled in the middle of its load.
  setenv("QVX_VG_FAULT_UNIT", "QVX00002", 1);
  setenv("QVX_VG_ERASE_MS", "400", 1);
  rack.Write({"QVX00001 1-1.1", "QVX00002 1-1.2"});
  ResetGenerator();
  auto station = Station({"--stop-after", "4", "--operator", "ana", "--work-order", "WO-7"});

  ASSERT_TRUE(AwaitRecord("1-1.1", "passed"));
  // A file changed once the station has started changes nothing: it read its files at the start.
  std::vector<uint8_t> changed = banner_bytes;
  std::fill(changed.begin() + 54, changed.end(), 0x11);
  WriteFile("station-banner.bmp", changed);
  ASSERT_TRUE(AwaitRecord("1-1.2", "started"));
  rack.Write({"QVX00001 1-1.1", "QVX00003 1-1.3"});  // 2 pulled, 3 plugged in
  ASSERT_TRUE(AwaitRecord("1-1.2", "pulled", 2));    // its operation's line and its load's end
  ASSERT_TRUE(AwaitRecord("1-1.3", "passed"));
  rack.Write({"QVX00001 1-1.1", "QVX00002 1-1.2", "QVX00003 1-1.3"});
  ASSERT_EQ(station.wait_for(60s), std::future_status::ready);
  const ToolRun run = station.get();

  // A pulled load is a load that did not pass.
  EXPECT_EQ(run.status, cli::kExitDevice) << run.err;
  EXPECT_NE(run.out.find("1-1.2 QVX00002: PULLED in"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Passed 3, failed 0, pulled 1;"), std::string::npos) << run.out;

  // Four loads, each begun before anything was sent and ended once; unit 1 was not loaded again.
  const std::string set_sha256 = Sha256Sum(set);
  std::map<std::string, std::vector<std::string>> ends;  // port -> its loads' ends in order
  for (const auto& [load, lines] : Loads()) {
    ASSERT_GE(lines.size(), 2u) << load;
    EXPECT_EQ(lines.front()["outcome"], "started") << load;
    const std::string port = lines.front()["port"];
    for (const Json& line : lines) {
      EXPECT_EQ(line["port"], port);
      EXPECT_EQ(line["operator"], "ana");
      EXPECT_EQ(line["work_order"], "WO-7");
      EXPECT_EQ(line["set"]["sha256"], set_sha256);
      if (line.contains("kind")) {
        EXPECT_EQ(line.contains("attempt"), line["outcome"] != "skipped") << line;
      }
    }
    ends[port].push_back(lines.back()["outcome"]);
  }
  EXPECT_EQ(ends, (std::map<std::string, std::vector<std::string>>{
                      {"1-1.1", {"passed"}},
                      {"1-1.2", {"pulled", "passed"}},
                      {"1-1.3", {"passed"}},
                  }));
  // The banner's record carries the hash of the bytes sent: the file as it was at the start.
  for (const Json& line : Records()) {
    if (line.value("kind", "") == "banner" && line["outcome"] == "completed") {
      EXPECT_EQ(line["file"]["sha256"], Sha256Sum(TempDir() + "/station-banner.bmp.orig"));
    }
  }

  const std::vector<std::vector<uint8_t>> flashes = {UnitFlash(0), UnitFlash(1), UnitFlash(2)};
  const std::vector<uint8_t> single = SingleUnitFlash();
  for (size_t unit = 0; unit < flashes.size(); ++unit)
    EXPECT_TRUE(flashes[unit] == single) << "QVX0000" << unit + 1;
}

// Killed outright, the station leaves only whole lines behind, and each load it cut off shows as a
// started line without an end.
TEST_F(StationTest, AStationKilledMidRunLeavesWholeLinesAndAStartedLineForEachCutOffLoad) {
  setenv("QVX_VG_ERASE_MS", "400", 1);
  rack.Write({"QVX00001 1-1.1", "QVX00002 1-1.2"});
  const std::string pid_file = TempDir() + "/station.pid";
  const std::string command = "'" QVX_LOAD_TOOL "' --station --set '" + set + "' --record '" +
                              record + "' >/dev/null 2>&1 & echo $! > '" + pid_file + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  pid_t pid = 0;
  std::ifstream(pid_file) >> pid;
  ASSERT_GT(pid, 0);
  const bool both_started = AwaitRecord("1-1.1", "started") && AwaitRecord("1-1.2", "started");
  kill(pid, SIGKILL);
  while (kill(pid, 0) == 0)
    std::this_thread::sleep_for(5ms);
  ASSERT_TRUE(both_started);

  std::map<std::string, std::vector<std::string>> outcomes;  // by load
  std::ifstream in(record);
  for (std::string text; std::getline(in, text);) {
    const Json line = Json::parse(text, nullptr, false);
    ASSERT_TRUE(line.is_object()) << "not a whole line: " << text;
    outcomes[line["load"]].push_back(line["outcome"]);
  }
  ASSERT_EQ(outcomes.size(), 2u);
  for (const auto& [load, seen] : outcomes) {
    EXPECT_EQ(seen.front(), "started") << load;
    for (const char* end : {"passed", "failed", "pulled", "cut off"})
      EXPECT_EQ(std::count(seen.begin(), seen.end(), end), 0) << load << " ended " << end;
  }
}

struct StopCase {
  const char* name;
  int stops;  // Ctrl-C pressed this many times once the first unit's load has begun
  int status;
  std::vector<std::string> ends;  // of the first unit's operations and load
};

// Test names come from `name`; this keeps the bytes of the cases out of the test list.
void PrintTo(const StopCase& stop, std::ostream* out) {
  *out << stop.name;
}

class StationStopTest : public StationTest, public ::testing::WithParamInterface<StopCase> {};

// The first stop lets the running load finish and starts no other; the second cuts it off.
TEST_P(StationStopTest, StopRequestsFinishOrCutOffTheRunningLoads) {
  std::atomic<int> stops{0};
  stop_requests = [&] { return stops.load(); };
  setenv("QVX_VG_FAULT_UNIT", "QVX00001", 1);
  setenv("QVX_VG_ERASE_MS", "300", 1);
  rack.Write({"QVX00001 1-1.1"});
  ResetGenerator();
  auto station = Station({});
  ASSERT_TRUE(AwaitRecord("1-1.1", "started"));
  stops = GetParam().stops;
  rack.Write({"QVX00001 1-1.1", "QVX00002 1-1.2"});
  ASSERT_EQ(station.wait_for(60s), std::future_status::ready);
  const ToolRun run = station.get();
  EXPECT_EQ(run.status, GetParam().status) << run.err;
  std::vector<std::string> ends;
  for (const Json& line : Records()) {
    EXPECT_EQ(line["port"], "1-1.1") << "a unit plugged in after the stop was loaded";
    if (line["outcome"] != "started")
      ends.push_back(line["outcome"]);
  }
  EXPECT_EQ(ends, GetParam().ends);
}

const StopCase kStopCases[] = {
    {"Once", 1, cli::kExitCompleted, {"completed", "completed", "passed"}},
    {"Twice", 2, cli::kExitDevice, {"cut off", "skipped", "cut off"}},
};

INSTANTIATE_TEST_SUITE_P(Stops, StationStopTest, ::testing::ValuesIn(kStopCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct RetryCase {
  const char* name;
  const char* retries;
  int status;
  std::vector<std::string> outcomes;  // the operation lines' and the end's, in order
};

void PrintTo(const RetryCase& retry, std::ostream* out) {
  *out << retry.name;
}

class StationRetryTest : public StationTest, public ::testing::WithParamInterface<RetryCase> {};

TEST_P(StationRetryTest, AGlitchingUnitIsRecoveredOnlyByARetry) {
  setenv("QVX_VG_FAULT_UNIT", "QVX00009", 1);
  setenv("QVX_VG_GLITCH_AFTER", "20000", 1);
  rack.Write({"QVX00009 2-3"});
  ResetGenerator();
  const ToolRun run = Load({"--station", "--set", set, "--record", record, "--stop-after", "1",
                            "--retries", GetParam().retries});
  EXPECT_EQ(run.status, GetParam().status) << run.err;
  std::vector<std::string> outcomes;
  std::vector<int> attempts;
  for (const Json& line : Records()) {
    if (line["outcome"] == "started")
      continue;
    outcomes.push_back(line["outcome"]);
    if (line.contains("attempt"))
      attempts.push_back(line["attempt"]);
  }
  EXPECT_EQ(outcomes, GetParam().outcomes);
  // The banner's attempts are numbered from 1; the pattern's first attempt is 1 again.
  EXPECT_EQ(attempts.front(), 1);
  if (GetParam().status == cli::kExitCompleted) {
    EXPECT_EQ(attempts, (std::vector<int>{1, 2, 1}));
    const std::vector<uint8_t> flash = UnitFlash(0);
    EXPECT_TRUE(flash == SingleUnitFlash());
  }
}

const RetryCase kRetryCases[] = {
    {"OneRetry", "1", cli::kExitCompleted, {"failed", "completed", "completed", "passed"}},
    {"NoRetry", "0", cli::kExitDevice, {"failed", "skipped", "failed"}},
};

INSTANTIATE_TEST_SUITE_P(Retries, StationRetryTest, ::testing::ValuesIn(kRetryCases),
                         [](const auto& info) { return std::string(info.param.name); });

// On a terminal the board is drawn over the last one: back up as many lines as it drew, clear, a
// row per socket in the order they were first seen, the totals last.
TEST(StationBoardTest, RedrawsItsRowsInPlaceWithTheTotalsUnderThem) {
  std::ostringstream out;
  cli::StationBoard board(out, cli::StationBoard::Style::kBoard, {"banner 1 from id.bmp"});
  station::SocketView loading;
  loading.port = "1-1.2";
  loading.serial = "QVX00002";
  loading.state = station::SocketState::kLoading;
  loading.operations = 1;
  loading.attempt = 2;
  loading.progress = 50;
  loading.seconds = 65;
  station::SocketView failed = loading;
  failed.port = "1-1.3";
  failed.state = station::SocketState::kFailed;
  failed.reason = "the generator stopped answering";
  station::SocketView empty;
  empty.port = "1-1.4";
  const station::Totals totals{3, 1, 2, 41.54};

  board.Draw({loading, failed, empty}, totals);
  const std::string first = out.str();
  const std::vector<std::string> expected = {
      "1-1.2      QVX00002   loading  1/1 banner 1 from id.bmp (attempt 2)",
      "1-1.3      QVX00002   fail     the generator stopped answering",
      "1-1.4                 empty",
      "Passed 3, failed 1, pulled 2; 41.5 units per hour",
  };
  std::istringstream lines(first);
  std::string line;
  std::getline(lines, line);
  EXPECT_TRUE(line.starts_with("Port       Serial     State    Operation")) << line;
  for (const std::string& row : expected) {
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_TRUE(line.starts_with(row)) << line;
  }
  EXPECT_NE(first.find("[###############               ]  50% 1:05"), std::string::npos) << first;

  out.str("");
  board.Draw({loading}, totals);
  EXPECT_TRUE(out.str().starts_with("\x1b[5F\x1b[J")) << "the first board had 5 lines";
}

}  // namespace
}  // namespace qvx::test
