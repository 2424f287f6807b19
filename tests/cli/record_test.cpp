// Production records: the lines of each unit's load (its start, each attempt at each step, its end)
// that say which unit got which content, when and with what result; read back by --list; and a
// record that cannot be written stops a load before anything is sent.
#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>
#include <regex>
#include <set>

#include "tests/cli/cli_fixture.h"

namespace qvx::test {
namespace {

using Json = nlohmann::json;

std::vector<Json> Records(const std::string& path) {
  std::vector<Json> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);)
    lines.push_back(Json::parse(line));
  return lines;
}

class RecordTest : public CliTest {
 protected:
  void TearDown() override {
    generator.SelectUnit(0);
    CliTest::TearDown();
  }
  std::string banner = WriteFile("record-banner.bmp", MakeBmp(72));
  std::string pattern = WriteFile("record-pattern.tst", std::vector<uint8_t>(2880, 0x21));
};

TEST_F(RecordTest, RecordsEveryUnitAndStepAndListShowsWhatEachUnitLastReceived) {
  generator.SetUnits(2);
  generator.SelectUnit(1);
  generator.SetOption("mute", 1);
  const std::string path = TempDir() + "/line.jsonl";
  const ToolRun run =
      Load({"--all-units", "--record", path, "banner", "2", banner, "pattern", "7", pattern});
  EXPECT_EQ(run.status, cli::kExitDevice) << run.err;

  const std::vector<Json> lines = Records(path);
  // Each unit: its start, an attempt at each step (or a skip), its end.
  ASSERT_EQ(lines.size(), 8u);
  std::map<std::string, Json> by_unit_and_kind;  // "QVX00001 banner", "QVX00002 end"
  std::map<std::string, std::string> run_of_unit;
  std::set<uint64_t> seqs;
  for (const Json& line : lines) {
    EXPECT_TRUE(std::regex_match(line["time"].get<std::string>(),
                                 std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z)")));
    EXPECT_FALSE(line["host"].get<std::string>().empty());
    EXPECT_EQ(line["version"], QVX_VERSION);
    EXPECT_EQ(line["description"], "QVX5120I1");
    EXPECT_TRUE(std::regex_match(line["run"].get<std::string>(), std::regex("[0-9a-f]{32}")));
    EXPECT_EQ(line["run"], lines.front()["run"]);
    seqs.insert(line["seq"].get<uint64_t>());
    const std::string serial = line["serial"];
    EXPECT_EQ(line["port"], serial == "QVX00001" ? "1-1" : "1-2");
    const std::string outcome = line["outcome"];
    const std::string what = line.contains("kind")  ? line["kind"]
                             : outcome == "started" ? "start"
                                                    : "end";
    if (line.contains("kind"))
      EXPECT_EQ(line["operation"], "load");
    else
      EXPECT_EQ(line["steps"], 2);
    by_unit_and_kind[serial + " " + what] = line;
  }
  // The sequence numbers of the run's lines are 1 to 8, each once.
  EXPECT_EQ(seqs, (std::set<uint64_t>{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(by_unit_and_kind["QVX00001 start"]["outcome"], "started");
  EXPECT_EQ(by_unit_and_kind["QVX00001 end"]["outcome"], "passed");
  EXPECT_EQ(by_unit_and_kind["QVX00002 end"]["outcome"], "failed");
  EXPECT_EQ(by_unit_and_kind["QVX00002 end"]["exit_status"], cli::kExitDevice);
  EXPECT_EQ(by_unit_and_kind["QVX00001 banner"]["attempt"], 1);
  const Json& banner1 = by_unit_and_kind["QVX00001 banner"];
  EXPECT_EQ(banner1["slot"], 2);
  EXPECT_EQ(banner1["file"]["path"], banner);
  EXPECT_EQ(banner1["file"]["size"], MakeBmp(72).size());
  EXPECT_EQ(banner1["file"]["sha256"], Sha256Sum(banner));
  EXPECT_EQ(banner1["outcome"], "completed");
  EXPECT_EQ(banner1["exit_status"], 0);
  EXPECT_EQ(by_unit_and_kind["QVX00001 pattern"]["file"]["sha256"], Sha256Sum(pattern));
  // The mute unit: its banner failed at the silence bound, and its pattern never ran.
  EXPECT_EQ(by_unit_and_kind["QVX00002 banner"]["outcome"], "failed");
  EXPECT_EQ(by_unit_and_kind["QVX00002 banner"]["exit_status"], cli::kExitDevice);
  EXPECT_EQ(by_unit_and_kind["QVX00002 pattern"]["outcome"], "skipped");

  const ToolRun list = Load({"--list", "--record", path});
  EXPECT_EQ(list.status, cli::kExitCompleted) << list.err;
  const std::string sha = Sha256Sum(banner).substr(0, 12);
  EXPECT_TRUE(std::regex_search(
      list.out, std::regex("0  QVX00001  QVX5120I1\n     banner 2  " + banner + "  sha256 " + sha +
                           "  \\S+Z\n     pattern 7  " + pattern +
                           "  sha256 \\w+  \\S+Z\n"
                           "1  QVX00002  QVX5120I1\n     \\(nothing recorded\\)\n")))
      << list.out;
}

TEST_F(RecordTest, AnUnwritableRecordStopsTheLoadBeforeAnythingIsSent) {
  // A record counts once it is on disk: without its first line, no unit is touched.
  const std::string unwritable = TempDir() + "/no-such-folder/line.jsonl";
  const ToolRun run = Load({"--record", unwritable, "banner", "1", banner});
  EXPECT_EQ(run.status, cli::kExitNotRecorded);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "qvx5120-load: the record could not be written to " + unwritable +
                         " (cannot open it: No such file or directory); nothing was loaded\n");
  EXPECT_TRUE(generator.Wire().empty());
  EXPECT_TRUE(AllErased(FlashCopy()));

  // A content set names its record file beside itself.
  ResetGenerator();
  const std::string set = TempDir() + "/record-set.toml";
  std::ofstream(set) << "record = \"set-line.jsonl\"\n[patterns]\n3 = \"" << pattern << "\"\n";
  const ToolRun from_set = Load({"--set", set});
  EXPECT_EQ(from_set.status, cli::kExitCompleted) << from_set.err;
  const std::vector<Json> lines = Records(TempDir() + "/set-line.jsonl");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0]["outcome"], "started");
  EXPECT_EQ(lines[1]["kind"], "pattern");
  EXPECT_EQ(lines[1]["slot"], 3);
  EXPECT_EQ(lines[1]["outcome"], "completed");
  EXPECT_EQ(lines[2]["outcome"], "passed");
  // The set's path and hash are on each line.
  EXPECT_EQ(lines[2]["set"]["sha256"], Sha256Sum(set));
}

// Looking up the units for the record binds the driver too; only the load reports that it cannot.
TEST_F(RecordTest, ADriverThatCannotBeLoadedIsReportedOnce) {
  const std::string path = TempDir() + "/no-driver.jsonl";
  for (const Lines& args : {Lines{"--record", path, "banner", "1", banner},
                            Lines{"--all-units", "--record", path, "banner", "1", banner}}) {
    RecordingClock clock;
    SystemLibraryLoader absent("libqvx5120-absent-driver.so");
    std::ostringstream out, err;
    cli::LoaderContext context{out, err, false, clock, absent};
    EXPECT_EQ(cli::RunLoader(args, context), cli::kExitDevice);
    const std::string shown = err.str();
    const std::string cannot_load = "Error: Can't Load ft8u245.dll";
    const size_t first = shown.find(cannot_load);
    ASSERT_NE(first, std::string::npos) << shown;
    EXPECT_EQ(shown.find(cannot_load, first + 1), std::string::npos) << shown;
  }
}

}  // namespace
}  // namespace qvx::test
