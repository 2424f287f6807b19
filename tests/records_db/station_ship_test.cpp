// A station run of four units on the virtual generator, its record file shipped to a fresh
// database: one row per line, the same count when shipped again, each unit's load found as the
// file has it, and the CSV the same over the file and the database. And a station that ships as it
// goes, its database stopped for part of the run: it loads throughout, says what is not shipped
// yet, and catches up, every line in the database once.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <atomic>
#include <chrono>
#include <fstream>
#include <future>
#include <thread>

#include "tests/cli/cli_fixture.h"
#include "tests/records_db/pg_test.h"
#include "tests/support/rack_file.h"

namespace qvx::test {
namespace {

using Json = nlohmann::json;

class StationShipTest : public CliTest {
 protected:
  void SetUp() override {
    record = TempDir() + "/ship-station-records.jsonl";
    std::remove(record.c_str());
    set = TempDir() + "/ship-station-set.toml";
    WriteFile("ship-station-pattern.tst", std::vector<uint8_t>(2880, 0x5A));
    std::ofstream(set) << "[patterns]\n3 = \"ship-station-pattern.tst\"\n";
    rack.Write({"QVX00001 1-1.1", "QVX00002 1-1.2", "QVX00003 1-1.3", "QVX00004 1-1.4"});
    CliTest::SetUp();
  }
  void TearDown() override {
    unsetenv("QVX_VG_RACK");
    generator.Reset();
    CliTest::TearDown();
  }

  std::vector<Json> FileLines(const std::string& serial) const {
    std::vector<Json> lines;
    std::ifstream in(record);
    for (std::string text; std::getline(in, text);) {
      Json line = Json::parse(text);
      if (line.value("serial", "") == serial)
        lines.push_back(line);
    }
    return lines;
  }

  TestDatabase database;
  TestRack rack{"ship-station-rack"};
  std::string record, set;
};

TEST_F(StationShipTest, AStationsFourUnitsLandOnceAndAreFoundAsTheFileHasThem) {
  ResetGenerator();
  const ToolRun station = Load({"--station", "--set", set, "--record", record, "--stop-after", "4",
                                "--operator", "ana", "--work-order", "WO-7"});
  ASSERT_EQ(station.status, 0) << station.err;
  size_t lines = 0;
  for (const char* serial : {"QVX00001", "QVX00002", "QVX00003", "QVX00004"})
    lines += FileLines(serial).size();
  ASSERT_EQ(lines, 4u * 3);  // started, the one step, passed

  const std::string url = database.url();
  const RecordsRun shipped = Records({"ship", "--to", url, record});
  EXPECT_EQ(shipped.out, record + ": 12 record lines shipped, 12 new\n");
  EXPECT_EQ(database.Count(), 12);
  const std::string copy = TempDir() + "/ship-station-copy.jsonl";
  std::filesystem::copy_file(record, copy, std::filesystem::copy_options::overwrite_existing);
  EXPECT_EQ(Records({"ship", "--to", url, record, copy}).status, 0);
  EXPECT_EQ(database.Count(), 12);

  for (const char* serial : {"QVX00001", "QVX00002", "QVX00003", "QVX00004"}) {
    const RecordsRun found = Records({"find", "--serial", serial, "--json", "--db", url});
    ASSERT_EQ(found.status, 0) << found.err;
    const Json load = Json::parse(found.out);
    EXPECT_EQ(load["records"], Json(FileLines(serial))) << serial;
    EXPECT_EQ(load["outcome"], "passed");
    EXPECT_EQ(load["operator"], "ana");
    EXPECT_EQ(Records({"find", "--serial", serial, "--db", url}).out,
              Records({"find", "--serial", serial, record}).out);
  }
  const RecordsRun csv = Records({"export", "--csv", "--work-order", "WO-7", "--db", url});
  EXPECT_EQ(csv.out, Records({"export", "--csv", "--work-order", "WO-7", record}).out);
  EXPECT_EQ(std::count(csv.out.begin(), csv.out.end(), '\n'), 13);
}

// Waits (up to 60 s) until `done` holds.
template <typename Done>
bool Within60s(Done&& done) {
  for (auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
       std::chrono::steady_clock::now() < until;
       std::this_thread::sleep_for(std::chrono::milliseconds(20))) {
    try {
      if (done())
        return true;
    } catch (const records_db::DatabaseError&) {
    }
  }
  return false;
}

TEST_F(StationShipTest, AStationShippingAsItGoesLoadsThroughAnOutageAndCatchesUp) {
  OwnCluster cluster;
  TestDatabase away(&cluster);
  rack.Write({"QVX00001 1-1.1", "QVX00002 1-1.2"});
  ResetGenerator();
  std::atomic<int> ctrl_c{0};
  stop_requests = [&] { return ctrl_c.load(); };
  auto station = std::async(std::launch::async, [&] {
    return Load({"--station", "--set", set, "--record", record, "--ship", away.url()});
  });
  auto lines_in_file = [&] {
    long lines = 0;
    std::ifstream in(record);
    for (std::string text; std::getline(in, text);)
      ++lines;
    return lines;
  };
  auto passed = [&](const char* serial) {
    const std::vector<Json> lines = FileLines(serial);
    return !lines.empty() && lines.back().value("outcome", "") == "passed";
  };
  ASSERT_TRUE(Within60s([&] { return passed("QVX00001") && passed("QVX00002"); }));
  ASSERT_TRUE(Within60s([&] { return away.Count() == 6; }));

  // The database goes away; two more units are plugged, and loaded all the same.
  cluster.Pause();
  rack.Write({"QVX00001 1-1.1", "QVX00002 1-1.2", "QVX00003 1-1.3", "QVX00004 1-1.4"});
  ASSERT_TRUE(Within60s([&] { return passed("QVX00003") && passed("QVX00004"); }));
  std::this_thread::sleep_for(std::chrono::seconds(2));  // the shipper's first retries fail
  cluster.Resume();
  ASSERT_TRUE(Within60s([&] { return away.Count() == lines_in_file(); }));
  ctrl_c = 1;
  ASSERT_EQ(station.wait_for(std::chrono::seconds(30)), std::future_status::ready);
  const ToolRun run = station.get();

  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("records not yet shipped: "), std::string::npos) << run.out;
  EXPECT_EQ(lines_in_file(), 12);
  EXPECT_EQ(away.Count(), 12);
  EXPECT_EQ(away.One("SELECT count(DISTINCT (run, seq)) FROM qvx5120.records"), "12");
}

}  // namespace
}  // namespace qvx::test
