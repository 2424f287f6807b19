// The station window's core on a virtual rack: the board it shows as units are plugged, loaded,
// pulled and glitch, the label a scan gives the next unit, the close rules, and records and flash
// that are the loader's own station's for the same plugs.
#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <future>
#include <thread>

#include "station_window/station_window_core.h"
#include "station_window/texts.h"
#include "tests/cli/cli_fixture.h"
#include "tests/support/rack_file.h"
#include "tests/support/station_records.h"

namespace qvx::test {
namespace {

using namespace std::chrono_literals;
using Json = nlohmann::json;
using station_window::BoardView;
using station_window::Sound;
using station_window::StationWindowCore;
using station_window::StationWindowOptions;
using station_window::TileView;
using station_window::Verdict;

class StationWindowTest : public CliTest {
 protected:
  void SetUp() override {
    set = TempDir() + "/window-set.toml";
    record = TempDir() + "/window-records.jsonl";
    std::remove(record.c_str());
    WriteFile("window-banner.bmp", MakeBmp(72));
    WriteFile("window-pattern.tst", std::vector<uint8_t>(2880, 0x3C));
    std::ofstream(set) << "[banners]\n4 = \"window-banner.bmp\"\n"
                          "[patterns]\n2 = \"window-pattern.tst\"\n";
    rack.Write({});
    CliTest::SetUp();
  }

  void TearDown() override {
    for (const char* name : {"QVX_VG_FAULT_UNIT", "QVX_VG_ERASE_MS", "QVX_VG_GLITCH_AFTER"})
      unsetenv(name);
    core.reset();
    generator.Reset();
    CliTest::TearDown();
  }

  StationWindowCore& Core(StationWindowOptions options = {}) {
    if (options.set_file.empty())
      options.set_file = set;
    if (options.record_file.empty())
      options.record_file = record;
    core = std::make_unique<StationWindowCore>(library, options, [](const station::SocketView&) {
      return std::make_unique<RecordingClock>();
    });
    return *core;
  }

  // Asks for the board until `done` holds of it; the last board either way.
  BoardView Await(const std::function<bool(const BoardView&)>& done) {
    BoardView view = core->View();
    for (auto deadline = std::chrono::steady_clock::now() + 30s;
         !done(view) && std::chrono::steady_clock::now() < deadline;
         std::this_thread::sleep_for(5ms))
      view = core->View();
    return view;
  }
  BoardView AwaitTitle(const std::string& title) {
    return Await([&](const BoardView& view) { return view.title == title; });
  }
  BoardView AwaitTile(size_t index, Verdict verdict) {
    return Await([&](const BoardView& view) {
      return view.tiles.size() > index && view.tiles[index].verdict == verdict;
    });
  }

  std::vector<Json> Records(const std::string& path) const {
    std::vector<Json> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
      lines.push_back(Json::parse(line));
    return lines;
  }

  std::vector<uint8_t> UnitFlash(int index) {
    EXPECT_TRUE(generator.SelectUnit(index)) << index;
    return FlashCopy();
  }

  static std::vector<std::string> Names(const BoardView& view) {
    std::vector<std::string> names;
    for (const TileView& tile : view.tiles)
      names.push_back(tile.accessible_name);
    return names;
  }

  SystemLibraryLoader library;
  std::unique_ptr<StationWindowCore> core;
  TestRack rack{"window-rack"};
  std::string set, record;
};

TEST_F(StationWindowTest,
       TwoUnitsPluggedOneAfterTheOtherPassAndAreRecordedAsTheLoadersStationDoes) {
  StationWindowOptions options;
  options.operator_name = "ana";
  options.work_order = "WO-7";
  StationWindowCore& window = Core(options);
  ASSERT_EQ(window.OpenSet(window.options().set_file), std::nullopt);
  BoardView view = window.View();
  EXPECT_EQ(view.title, "QVX5120 Station - 0 passed, 0 failed");
  EXPECT_EQ(view.set, "Set window-set.toml  " + Sha256Sum(set).substr(0, 12));
  EXPECT_EQ(view.operator_name, "Operator ana");
  EXPECT_EQ(view.work_order, "Work order WO-7");
  EXPECT_TRUE(view.can_start);
  ASSERT_EQ(window.Start(), std::nullopt);

  rack.Write({"QVX00001 1-1.1"});
  view = AwaitTile(0, Verdict::kPass);
  EXPECT_EQ(view.title, "QVX5120 Station - 1 passed, 0 failed");
  rack.Write({"QVX00001 1-1.1", "QVX00002 1-1.2"});
  view = AwaitTitle("QVX5120 Station - 2 passed, 0 failed");
  EXPECT_EQ(Names(view), (std::vector<std::string>{"Socket 1-1.1, QVX00001, pass",
                                                   "Socket 1-1.2, QVX00002, pass"}));
  EXPECT_EQ(view.tiles[1].verdict_text, "PASS");
  EXPECT_EQ(view.totals.rfind("Passed 2   Failed 0   ", 0), 0u) << view.totals;
  EXPECT_EQ(window.TakeSounds(), (std::vector<Sound>{Sound::kPass, Sound::kPass}));
  EXPECT_TRUE(window.TakeSounds().empty());
  window.Stop();
  view = Await([](const BoardView& v) { return !v.running; });
  EXPECT_EQ(view.status, "Stopped");
  EXPECT_TRUE(view.can_start);
  const std::vector<uint8_t> first = UnitFlash(0), second = UnitFlash(1);

  // The loader's station, for the same plugs on fresh units.
  const std::string loader_record = TempDir() + "/loader-records.jsonl";
  std::remove(loader_record.c_str());
  rack.Write({});
  ResetGenerator();
  auto loader = std::async(std::launch::async, [&] {
    return Load({"--station", "--set", set, "--record", loader_record, "--stop-after", "2",
                 "--operator", "ana", "--work-order", "WO-7"});
  });
  rack.Write({"QVX00001 1-1.1"});
  for (auto deadline = std::chrono::steady_clock::now() + 30s;
       Records(loader_record).size() < 4 && std::chrono::steady_clock::now() < deadline;)
    std::this_thread::sleep_for(5ms);
  rack.Write({"QVX00001 1-1.1", "QVX00002 1-1.2"});
  ASSERT_EQ(loader.wait_for(60s), std::future_status::ready);
  EXPECT_EQ(loader.get().status, cli::kExitCompleted);

  EXPECT_EQ(ComparableStationRecords(record), ComparableStationRecords(loader_record));
  EXPECT_EQ(Records(record).size(), 8u);  // per unit: started, two steps, passed
  EXPECT_TRUE(UnitFlash(0) == first);
  EXPECT_TRUE(UnitFlash(1) == second);
}

TEST_F(StationWindowTest, AScannedLabelGoesToTheNextUnitPluggedInAndNoOther) {
  StationWindowCore& window = Core();
  ASSERT_EQ(window.OpenSet(window.options().set_file), std::nullopt);
  window.Scan("");  // Return on an empty field
  EXPECT_EQ(window.View().status, "Ready: press Start, then plug units in");
  window.Scan("A-1001");
  EXPECT_EQ(window.View().status,
            "Ready: press Start, then plug units in \u2014 Next unit plugged in: A-1001");
  ASSERT_EQ(window.Start(), std::nullopt);
  rack.Write({"QVX00003 1-1.3"});
  BoardView view = AwaitTile(0, Verdict::kPass);
  EXPECT_EQ(view.tiles[0].label, "Label A-1001");
  EXPECT_EQ(view.status, "Running: plug a unit into any socket");
  rack.Write({"QVX00003 1-1.3", "QVX00004 1-1.4"});
  view = AwaitTile(1, Verdict::kPass);
  EXPECT_EQ(view.tiles[1].label, "");
  // The same label again (a unit relabelled), while the station runs.
  window.Scan("A-1001");
  EXPECT_EQ(window.View().status,
            "Running: plug a unit into any socket \u2014 Next unit plugged in: A-1001");
  rack.Write({"QVX00003 1-1.3", "QVX00004 1-1.4", "QVX00005 1-1.5"});
  view = AwaitTile(2, Verdict::kPass);
  EXPECT_EQ(view.tiles[2].label, "Label A-1001");
  for (const Json& line : Records(record))
    EXPECT_EQ(line.value("label", ""), line["port"] == "1-1.4" ? "" : "A-1001") << line;
}

TEST_F(StationWindowTest, APulledUnitsTileEmptiesAndItLoadsAfreshWhenPluggedAgain) {
  setenv("QVX_VG_FAULT_UNIT", "QVX00002", 1);
  setenv("QVX_VG_ERASE_MS", "400", 1);
  StationWindowCore& window = Core();
  ASSERT_EQ(window.OpenSet(window.options().set_file), std::nullopt);
  ASSERT_EQ(window.Start(), std::nullopt);
  rack.Write({"QVX00002 1-2"});
  BoardView view =
      Await([](const BoardView& v) { return !v.tiles.empty() && v.tiles[0].progress >= 0; });
  ASSERT_FALSE(view.tiles.empty());
  EXPECT_EQ(view.tiles[0].accessible_name, "Socket 1-2, QVX00002, loading");
  EXPECT_EQ(view.tiles[0].operation, "1 of 2: banner 4 from window-banner.bmp");
  rack.Write({});
  view = Await([](const BoardView& v) {
    return !v.tiles.empty() && v.tiles[0].accessible_name == "Socket 1-2, empty";
  });
  EXPECT_EQ(view.tiles[0].operation, "Empty");
  EXPECT_EQ(view.tiles[0].serial, "");
  rack.Write({"QVX00002 1-2"});
  view = AwaitTile(0, Verdict::kPass);
  EXPECT_EQ(view.title, "QVX5120 Station - 1 passed, 0 failed");
  EXPECT_EQ(window.TakeSounds(), (std::vector<Sound>{Sound::kFail, Sound::kPass}));
}

TEST_F(StationWindowTest, AGlitchingUnitFailsInRedWithItsReasonUnlessARetryRecoversIt) {
  setenv("QVX_VG_FAULT_UNIT", "QVX00009", 1);
  setenv("QVX_VG_GLITCH_AFTER", "20000", 1);
  for (const int retries : {0, 1}) {
    SCOPED_TRACE(retries);
    std::remove(record.c_str());
    rack.Write({});
    ResetGenerator();
    StationWindowOptions options;
    options.retries = retries;
    StationWindowCore& window = Core(options);
    ASSERT_EQ(window.OpenSet(window.options().set_file), std::nullopt);
    ASSERT_EQ(window.Start(), std::nullopt);
    rack.Write({"QVX00009 2-3"});
    const BoardView view = Await([](const BoardView& v) {
      return !v.tiles.empty() && v.tiles[0].verdict != Verdict::kNone;
    });
    ASSERT_EQ(view.tiles.size(), 1u);
    const TileView& tile = view.tiles[0];
    std::vector<int> attempts;
    for (const Json& line : Records(record)) {
      if (line.contains("attempt"))
        attempts.push_back(line["attempt"]);
    }
    if (retries == 0) {
      EXPECT_EQ(tile.verdict_text, "FAIL");
      EXPECT_EQ(tile.accessible_name, "Socket 2-3, QVX00009, fail");
      EXPECT_EQ(tile.operation, "1 of 2: banner 4 from window-banner.bmp");
      EXPECT_FALSE(tile.reason.empty());
      EXPECT_EQ(view.title, "QVX5120 Station - 0 passed, 1 failed");
      EXPECT_EQ(window.TakeSounds(), std::vector<Sound>{Sound::kFail});
      EXPECT_EQ(attempts, std::vector<int>{1});
    } else {
      EXPECT_EQ(tile.verdict_text, "PASS");
      EXPECT_EQ(view.title, "QVX5120 Station - 1 passed, 0 failed");
      EXPECT_EQ(attempts, (std::vector<int>{1, 2, 1}));
    }
  }
}

// Closing while a unit loads lets its load finish first; closing again cuts it off.
TEST_F(StationWindowTest, ACloseWhileLoadingWaitsForTheLoadAndASecondCutsItOff) {
  setenv("QVX_VG_FAULT_UNIT", "QVX00005", 1);
  setenv("QVX_VG_ERASE_MS", "300", 1);
  for (const int closes : {1, 2}) {
    SCOPED_TRACE(closes);
    std::remove(record.c_str());
    rack.Write({});
    ResetGenerator();
    StationWindowCore& window = Core();
    EXPECT_TRUE(window.RequestClose());  // nothing running yet
    ASSERT_EQ(window.OpenSet(window.options().set_file), std::nullopt);
    ASSERT_EQ(window.Start(), std::nullopt);
    rack.Write({"QVX00005 1-5"});
    Await([](const BoardView& v) { return !v.tiles.empty() && v.tiles[0].progress >= 0; });
    for (int i = 0; i < closes; ++i)
      EXPECT_FALSE(window.RequestClose());
    BoardView view = window.View();
    EXPECT_EQ(view.status, "Closing once the running loads finish (close again to cut them off)");
    EXPECT_FALSE(view.can_start);
    EXPECT_FALSE(view.can_open);
    for (auto deadline = std::chrono::steady_clock::now() + 30s;
         !window.CloseDue() && std::chrono::steady_clock::now() < deadline;)
      std::this_thread::sleep_for(5ms);
    EXPECT_TRUE(window.CloseDue());
    EXPECT_EQ(Records(record).back()["outcome"], closes == 1 ? "passed" : "cut off");
  }
}

TEST_F(StationWindowTest, ASetThatCannotBeLoadedIsRefusedInABoxAndTheOneOpenStays) {
  StationWindowCore& window = Core();
  EXPECT_EQ(window.Start(), std::nullopt);  // no set: nothing to start
  EXPECT_FALSE(window.View().running);
  EXPECT_EQ(window.View().status, "No content set: open one to begin");
  EXPECT_FALSE(window.View().can_start);

  std::ofstream(TempDir() + "/bad-slot.toml") << "[banners]\n12 = \"window-banner.bmp\"\n";
  std::ofstream(TempDir() + "/missing-file.toml") << "[patterns]\n1 = \"nowhere.tst\"\n";
  const struct {
    std::string file;
    std::string box_begins;
  } refused[] = {
      {"bad-slot.toml", "bad-slot.toml cannot be loaded: banners.12: no such slot"},
      {"missing-file.toml", "missing-file.toml cannot be loaded: patterns.1: "},
      {"absent.toml", "absent.toml cannot be loaded: "},
  };
  ASSERT_EQ(window.OpenSet(set), std::nullopt);
  for (const auto& bad : refused) {
    const auto box = window.OpenSet(TempDir() + "/" + bad.file);
    ASSERT_TRUE(box.has_value()) << bad.file;
    EXPECT_EQ(box->rfind(bad.box_begins, 0), 0u) << *box;
    EXPECT_TRUE(box->ends_with("; nothing was sent to any generator.")) << *box;
    if (bad.file == "missing-file.toml") {
      EXPECT_NE(box->find("nowhere.tst: cannot be opened for reading"), std::string::npos) << *box;
    }
    EXPECT_EQ(window.View().set.rfind("Set window-set.toml  ", 0), 0u);
  }
  EXPECT_TRUE(window.View().can_open);
  StationWindowOptions locked;
  locked.lock = true;
  EXPECT_FALSE(Core(locked).View().can_open);
}

}  // namespace
}  // namespace qvx::test
