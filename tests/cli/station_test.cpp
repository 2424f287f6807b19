// The station on a virtual rack: units plugged in are loaded without a key, a unit pulled mid-load
// is recorded as pulled and loaded afresh when it comes back, a glitching unit is recovered by a
// retry and only by one, and every unit that passed holds what a load of that unit alone leaves.
#include <nlohmann/json.hpp>

#include <signal.h>
#include <sys/wait.h>
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
#include "station/station.h"
#include "tests/cli/station_fixture.h"
#include "tests/support/small_disk.h"

namespace qvx::test {
namespace {

using Json = nlohmann::json;
using namespace std::chrono_literals;

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
// As a real unit does for a moment after it is plugged in, while the kernel and udev are still at
// work, unit 2 refuses to be opened for 1.5 s: the station, on real time, loads it once it opens.
// Unit 3 is held by another program: its load fails within the open's grace, naming the doctor,
// and the other sockets go on meanwhile.
TEST_F(StationTest, AUnitSlowToOpenIsLoadedAndAHeldOneFailsNamingTheDoctor) {
  setenv("QVX_VG_FAULT_UNIT", "QVX00002", 1);
  setenv("QVX_VG_OPEN_REFUSED_MS", "1500", 1);
  setenv("QVX_VG_HELD", "QVX00003", 1);
  rack.Write({"QVX00001 1-1.1", "QVX00002 1-1.2", "QVX00003 1-1.3", "QVX00004 1-1.4"});
  // A pattern alone: a load of a few seconds at a real unit's pace.
  const std::string pattern_set = TempDir() + "/station-pattern-set.toml";
  std::ofstream(pattern_set) << "[patterns]\n7 = \"station-pattern.tst\"\n";
  const std::string output = TempDir() + "/station-output.txt";
  const std::string command = "timeout 60 '" QVX_LOAD_TOOL "' --station --stop-after 4 --set '" +
                              pattern_set + "' --record '" + record + "' >'" + output + "' 2>&1";
  const int status = std::system(command.c_str());
  std::stringstream said;
  said << std::ifstream(output).rdbuf();

  ASSERT_TRUE(WIFEXITED(status)) << said.str();
  EXPECT_EQ(WEXITSTATUS(status), cli::kExitDevice) << said.str();
  std::map<std::string, Json> ends;  // each port's end line
  for (const Json& line : Records()) {
    if (line.value("steps", -1) >= 0 && line.value("outcome", "") != "started")
      ends[line.value("port", "")] = line;
  }
  ASSERT_EQ(ends.size(), 4u) << said.str();
  for (const char* port : {"1-1.1", "1-1.2", "1-1.4"})
    EXPECT_EQ(ends[port].value("outcome", ""), "passed") << port << ": " << ends[port].dump();
  EXPECT_EQ(ends["1-1.3"].value("outcome", ""), "failed");
  EXPECT_LT(ends["1-1.3"].value("seconds", 99.0), 10.0);
  EXPECT_NE(ends["1-1.3"].value("reason", "").find("run qvx5120-doctor"), std::string::npos)
      << ends["1-1.3"].dump();
}

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

// What makes the record file refuse lines in the middle of a run, and what mends it.
struct RecordTrouble {
  const char* name;
  bool brake_takes_every_line;
  std::function<void(SmallDisk&, const std::string& folder)> brake;
  std::function<void(SmallDisk&, const std::string& folder)> mend;
};

void PrintTo(const RecordTrouble& trouble, std::ostream* out) {
  *out << trouble.name;
}

class StationRecordTroubleTest : public StationTest,
                                 public ::testing::WithParamInterface<RecordTrouble> {};

// A record counts once it is on disk: a unit plugged while the file takes no lines waits, and
// loads once it does; a running load finishes, its lines held (and on standard error) until they
// can be written, each once, in order.
TEST_P(StationRecordTroubleTest, UnitsWaitWhileTheRecordTakesNoLinesAndHeldLinesGoInOnce) {
  SmallDisk disk(std::string("station-records-") + GetParam().name, 64 * 1024);
  if (!disk.mounted())
    GTEST_SKIP() << "mounting a tmpfs needs root";
  const std::string folder = disk.folder() + "/line";
  std::filesystem::create_directories(folder);
  record = folder + "/records.jsonl";
  // Unit 2's flash steps take real time: its load is under way when the file stops taking lines.
  setenv("QVX_VG_FAULT_UNIT", "QVX00002", 1);
  setenv("QVX_VG_ERASE_MS", "200", 1);
  rack.Write({"QVX00001 1-1.1"});
  ResetGenerator();
  auto station = Station({"--stop-after", "4"});
  ASSERT_TRUE(AwaitRecord("1-1.1", "passed"));
  rack.Write({"QVX00001 1-1.1", "QVX00002 1-1.2"});
  ASSERT_TRUE(AwaitRecord("1-1.2", "started"));
  GetParam().brake(disk, folder);
  rack.Write({"QVX00001 1-1.1", "QVX00002 1-1.2", "QVX00003 1-1.3"});
  // Several looks of the station. No unit's flash is written without its started line on disk: a
  // folder gone takes no line at all, so unit 3 waits; a full disk may still take a short line
  // into the room left in the file's last page, and then unit 3 may load.
  std::this_thread::sleep_for(1500ms);
  const bool unit3_written = !AllErased(UnitFlash(2));
  bool unit3_started = false;
  for (const Json& line : Records())
    unit3_started |= line["port"] == "1-1.3" && line["outcome"] == "started";
  EXPECT_TRUE(unit3_started || !unit3_written) << "unit 3 was written without its started line";
  if (GetParam().brake_takes_every_line) {
    EXPECT_FALSE(unit3_written) << "unit 3 loaded while its records could not be written";
  }
  GetParam().mend(disk, folder);
  // The held lines go in, unit 3 loads if it has not yet, and a unit plugged now loads too.
  const bool resumed = AwaitRecord("1-1.2", "passed") && AwaitRecord("1-1.3", "passed");
  rack.Write({"QVX00001 1-1.1", "QVX00002 1-1.2", "QVX00003 1-1.3", "QVX00004 1-1.4"});
  const bool fourth = resumed && AwaitRecord("1-1.4", "passed");
  if (!fourth)
    stop_requests = [] { return 2; };  // so that the station ends and shows what it did
  ASSERT_EQ(station.wait_for(60s), std::future_status::ready);
  const ToolRun run = station.get();
  ASSERT_TRUE(fourth) << run.out << run.err;
  // Every unit passed, but lines were held on the way.
  EXPECT_EQ(run.status, cli::kExitNotRecorded) << run.err;
  const size_t held_said = run.out.find("qvx5120-load: records held back: ");
  EXPECT_NE(held_said, std::string::npos) << run.out;
  EXPECT_NE(run.out.find("qvx5120-load: records written again; loads start again", held_said),
            std::string::npos)
      << run.out;
  EXPECT_LT(run.out.find("1-1.2 QVX00002: loading"), held_said) << run.out;
  if (GetParam().brake_takes_every_line) {
    EXPECT_LT(held_said, run.out.find("1-1.3 QVX00003: loading")) << run.out;
  }

  // The lines: whole, each once, in the run's order; a folder that went away took its file (and
  // unit 1's lines) with it, and the held lines began a new one.
  std::vector<Json> lines;
  for (const std::string& path : {folder + ".away/records.jsonl", record}) {
    std::ifstream in(path);
    for (std::string text; std::getline(in, text);) {
      const Json line = Json::parse(text, nullptr, false);
      ASSERT_TRUE(line.is_object()) << "not a whole line in " << path << ": " << text;
      lines.push_back(line);
    }
  }
  ASSERT_EQ(lines.size(), 16u);  // four loads of two operations, each begun and ended
  std::map<std::string, std::vector<std::string>> outcomes;  // by port
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i]["seq"], i + 1);
    outcomes[lines[i]["port"]].push_back(lines[i]["outcome"]);
  }
  const std::vector<std::string> load = {"started", "completed", "completed", "passed"};
  EXPECT_EQ(outcomes, (std::map<std::string, std::vector<std::string>>{
                          {"1-1.1", load}, {"1-1.2", load}, {"1-1.3", load}, {"1-1.4", load}}));
  // The held lines were on standard error meanwhile, as they then went into the file.
  std::vector<Json> held;
  std::istringstream err(run.err);
  for (std::string text; std::getline(err, text);) {
    if (text.starts_with("record held for " + record + ": "))
      held.push_back(Json::parse(text.substr(text.find('{'))));
  }
  ASSERT_FALSE(held.empty()) << run.err;
  for (const Json& line : held) {
    // Only the loads under way while the file took nothing had lines held.
    EXPECT_TRUE(line["port"] == "1-1.2" || line["port"] == "1-1.3") << line;
    EXPECT_EQ(line, lines[line["seq"].get<size_t>() - 1]);
  }
  const std::vector<std::vector<uint8_t>> flashes = {UnitFlash(0), UnitFlash(1), UnitFlash(2),
                                                     UnitFlash(3)};
  const std::vector<uint8_t> single = SingleUnitFlash();
  for (size_t unit = 0; unit < flashes.size(); ++unit)
    EXPECT_TRUE(flashes[unit] == single) << "QVX0000" << unit + 1;
}

INSTANTIATE_TEST_SUITE_P(
    Troubles, StationRecordTroubleTest,
    ::testing::Values(RecordTrouble{"DiskFull", false,
                                    [](SmallDisk& disk, const std::string&) { disk.Fill(); },
                                    [](SmallDisk& disk, const std::string&) { disk.Free(); }},
                      RecordTrouble{"FolderGone", true,
                                    [](SmallDisk&, const std::string& folder) {
                                      std::filesystem::rename(folder, folder + ".away");
                                    },
                                    [](SmallDisk&, const std::string& folder) {
                                      std::filesystem::create_directories(folder);
                                    }}),
    [](const auto& info) { return std::string(info.param.name); });

// The station program at real timing, under strace: a unit pulled while its load sits in one of
// the pattern's whole-second waits ends at once as pulled (the look sees its socket empty), and
// plugged back 4 s later it loads afresh and passes; each record line is synced once, as written.
TEST_F(StationTest, AUnitPulledDuringAWaitEndsAtOnceAndEachRecordLineIsSyncedOnce) {
  if (std::system("strace -V >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "strace is not installed";
  const std::string pattern_set = TempDir() + "/station-pattern-set.toml";
  std::ofstream(pattern_set) << "[patterns]\n7 = \"station-pattern.tst\"\n";
  const std::string trace = TempDir() + "/station.strace";
  rack.Write({"QVX00001 1-1.1"});
  auto station = std::async(std::launch::async, [&] {
    // LeakSanitizer cannot run under ptrace: in the sanitizer tree the traced loader leaves it off.
    const std::string command =
        "ASAN_OPTIONS=\"$ASAN_OPTIONS:detect_leaks=0\" "
        "strace -f -y -e trace=fdatasync -o '" +
        trace + "' '" + QVX_LOAD_TOOL "' --station --set '" + pattern_set + "' --record '" +
        record + "' --stop-after 2 >/dev/null 2>&1";
    return std::system(command.c_str());
  });
  ASSERT_TRUE(AwaitRecord("1-1.1", "started"));
  // Within the first seconds of a pattern's load, the host waits: 1 s after CMD_BEGIN_LOAD, then
  // whole seconds after its erase.
  std::this_thread::sleep_for(1500ms);
  rack.Write({});
  const auto pulled_at = std::chrono::steady_clock::now();
  ASSERT_TRUE(AwaitRecord("1-1.1", "pulled", 2));  // its attempt's line and its load's end
  const double seen_after =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - pulled_at).count();
  std::cout << "pulled recorded " << seen_after << " s after the pull\n";
  std::this_thread::sleep_until(pulled_at + 4s);
  rack.Write({"QVX00001 1-1.1"});
  ASSERT_EQ(station.wait_for(60s), std::future_status::ready);
  const int status = station.get();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == cli::kExitDevice)
      << "a pulled load did not pass: " << status;

  std::vector<std::string> outcomes;
  for (const Json& line : Records())
    outcomes.push_back(line["outcome"]);
  EXPECT_EQ(outcomes, (std::vector<std::string>{"started", "pulled", "pulled", "started",
                                                "completed", "passed"}));
  int syncs = 0;
  std::ifstream in(trace);
  for (std::string line; std::getline(in, line);)
    syncs += line.find("fdatasync(") != std::string::npos &&
             line.find("<" + record + ">") != std::string::npos && line.ends_with("= 0");
  EXPECT_EQ(syncs, static_cast<int>(outcomes.size()));
}

// Events reach their handler without the station's lock held: a handler may ask the station
// anything and stop it (which deadlocked when events were delivered under that lock).
TEST_F(StationTest, AHandlerMayCallTheStationsFunctions) {
  class Asking final : public station::StationEvents {
   public:
    void Plugged(const station::SocketView&) override { seen.push_back(Ask("plugged")); }
    void LoadStarting(const station::SocketView&) override { seen.push_back(Ask("starting")); }
    void AttemptEnded(const station::SocketView&, const station::AttemptReport&) override {
      seen.push_back(Ask("attempt"));
    }
    void LoadEnded(const station::SocketView& socket) override {
      seen.push_back(Ask("ended"));
      station->SetNextLabel("after " + socket.serial);
      station->Stop();
    }
    std::string Ask(const char* what) const {
      const auto sockets = station->Sockets();
      return std::string(what) + " " + std::to_string(sockets.size()) + " " +
             std::to_string(station->totals().passed) + " " + station->NextLabel();
    }
    station::Station* station = nullptr;
    std::vector<std::string> seen;
  } asking;
  rack.Write({"QVX00001 1-1.1"});
  ResetGenerator();
  station::StationSettings settings;
  settings.operations = {
      {DownloadRequest::Pattern(7), TempDir() + "/station-pattern.tst", false, "pattern 7"}};
  settings.unit_clock = [](const station::SocketView&) {
    return std::make_unique<RecordingClock>();
  };
  SystemLibraryLoader loader;
  station::Station station(std::move(settings), loader, asking);
  asking.station = &station;
  ASSERT_TRUE(station.usable());
  auto run = std::async(std::launch::async, [&] { station.Run(); });
  ASSERT_EQ(run.wait_for(30s), std::future_status::ready) << "a handler's call never returned";
  EXPECT_EQ(asking.seen, (std::vector<std::string>{"plugged 1 0 ", "starting 1 0 ", "attempt 1 0 ",
                                                   "ended 1 1 "}));
  EXPECT_EQ(station.NextLabel(), "after QVX00001");
  EXPECT_TRUE(station.stopping());
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
