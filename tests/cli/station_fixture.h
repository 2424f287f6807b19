// The station on a virtual rack, as its tests drive it: a set of a banner and a pattern, a record
// file, a rack the test rewrites as it plugs and pulls units, and qvx5120-load --station run on a
// thread of its own meanwhile.
#pragma once

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <future>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "tests/cli/cli_fixture.h"
#include "tests/support/rack_file.h"

namespace qvx::test {

class StationTest : public CliTest {
 protected:
  using Json = nlohmann::json;

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
    for (const char* name : {"QVX_VG_RACK", "QVX_VG_FAULT_UNIT", "QVX_VG_ERASE_MS",
                             "QVX_VG_GLITCH_AFTER", "QVX_VG_OPEN_REFUSED_MS", "QVX_VG_HELD"})
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
    for (auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
         std::chrono::steady_clock::now() < deadline;
         std::this_thread::sleep_for(std::chrono::milliseconds(5))) {
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

}  // namespace qvx::test
