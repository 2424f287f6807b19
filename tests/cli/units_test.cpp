// Several generators at once: listing, opening a unit by its serial number, a parallel load that
// leaves every unit as a load of that unit alone would, and units that fail alone.
#include <nlohmann/json.hpp>

#include <regex>

#include "device/flash_map.h"
#include "tests/cli/cli_fixture.h"

namespace qvx::test {
namespace {

using cli::kExitCompleted;
using cli::kExitDevice;

class UnitsTest : public CliTest {
 protected:
  void TearDown() override {
    generator.SelectUnit(0);
    CliTest::TearDown();
  }

  // Unit `index`'s capture log and flash.
  std::pair<Lines, std::vector<uint8_t>> UnitState(int index) {
    EXPECT_TRUE(generator.SelectUnit(index));
    return {generator.Calls(), FlashCopy()};
  }

  // The summary row of a unit without its elapsed time, with runs of spaces made single.
  static std::string SummaryRow(const std::string& out, const std::string& serial) {
    std::smatch row;
    if (!std::regex_search(out, row, std::regex("\n(" + serial + " [^\n]*)")))
      return "(no row)";
    std::string text = std::regex_replace(row[1].str(), std::regex(" +[0-9]+:[0-9]{2}"), "");
    text = std::regex_replace(text, std::regex(" +"), " ");
    return text.ends_with(' ') ? text.substr(0, text.size() - 1) : text;
  }

  std::string banner = WriteFile("units-banner.bmp", MakeBmp(72));
  std::string picture = WriteFile("units-picture.bmp", MakeBmp(576));
  std::string pattern = WriteFile("units-pattern.tst", std::vector<uint8_t>(2880, 0x5A));
};

TEST_F(UnitsTest, ListsEveryUnitAndOpensTheOneNamedBySerial) {
  generator.SetUnits(3);
  const ToolRun list = Load({"--list"});
  EXPECT_EQ(list.status, kExitCompleted);
  EXPECT_EQ(list.out,
            "0  QVX00001  QVX5120I1\n"
            "1  QVX00002  QVX5120I1\n"
            "2  QVX00003  QVX5120I1\n");

  const ToolRun named = Load({"--unit", "QVX00002", "pattern", "4", pattern});
  EXPECT_EQ(named.status, kExitCompleted) << named.err;
  EXPECT_EQ(SummaryRow(named.out, "QVX00002"), "QVX00002 completed");
  const auto [calls, flash] = UnitState(1);
  EXPECT_EQ(calls.front(), "FT_OpenEx QVX00002 1 -> 0");
  const auto stored = generator.FlashAt(PatternSlot(4).first_address, 1440);
  EXPECT_EQ(std::vector<uint8_t>(stored.begin(), stored.end()), std::vector<uint8_t>(2880, 0x5A));
  // Units 1 and 3 were listed, never opened, and kept their erased flash.
  for (int other : {0, 2}) {
    const auto [other_calls, other_flash] = UnitState(other);
    EXPECT_EQ(std::count_if(other_calls.begin(), other_calls.end(),
                            [](const std::string& c) { return c.starts_with("FT_OpenEx"); }),
              0);
    EXPECT_TRUE(AllErased(other_flash)) << "unit " << other + 1;
  }

  generator.SelectUnit(0);
  const ToolRun unknown = Load({"--unit", "QVX00009", "pattern", "4", pattern});
  EXPECT_EQ(unknown.status, kExitDevice);
  EXPECT_NE(unknown.err.find("QVX00009: USB DEVICE not responding\n"), std::string::npos)
      << unknown.err;
  EXPECT_EQ(SummaryRow(unknown.out, "QVX00009"), "QVX00009 not connected");
}

TEST_F(UnitsTest, ParallelLoadLeavesEachUnitAsASingleLoadWould) {
  const Lines operations = {"picture", "2", picture, "banner", "3",      banner,
                            "pattern", "7", pattern, "audio",  "1000Hz", "-6",
                            "Silence", "0", "400Hz", "-20",    "50Hz",   "-3"};
  const ToolRun single = Load(operations);
  ASSERT_EQ(single.status, kExitCompleted) << single.err;
  const std::vector<uint8_t> single_flash = FlashCopy();

  constexpr int kUnits = 4;
  generator.SetUnits(kUnits);
  Lines args = {"--all-units"};
  args.insert(args.end(), operations.begin(), operations.end());
  const ToolRun parallel = Load(args);
  EXPECT_EQ(parallel.status, kExitCompleted) << parallel.err;
  for (int unit = 0; unit < kUnits; ++unit) {
    const std::string serial = "QVX0000" + std::to_string(unit + 1);
    auto [calls, flash] = UnitState(unit);
    // Unit 1 also answered the listings.
    calls = DeviceCalls(calls);
    Lines expected = DeviceCalls(single.calls);
    ASSERT_EQ(expected.front(), "FT_OpenEx QVX5120I1 2 -> 0");
    expected.front() = "FT_OpenEx " + serial + " 1 -> 0";
    EXPECT_EQ(calls, expected) << serial;
    EXPECT_TRUE(flash == single_flash) << serial;
    EXPECT_EQ(SummaryRow(parallel.out, serial), serial + " completed");
    EXPECT_NE(parallel.out.find(serial + ": All 4 operations completed.\n"), std::string::npos);
  }
}

TEST_F(UnitsTest, UnpluggedAndMuteUnitsFailAloneWhileTheOthersComplete) {
  generator.SetUnits(4);
  generator.SelectUnit(1);
  // Unplugged part-way through the picture's lines.
  generator.SetOption("unplug_after", 200000);
  generator.SelectUnit(2);
  generator.SetOption("mute", 1);

  const ToolRun run = Load({"--all-units", "picture", "1", picture, "banner", "2", banner});
  EXPECT_EQ(run.status, kExitDevice);
  EXPECT_EQ(SummaryRow(run.out, "QVX00001"), "QVX00001 completed");
  EXPECT_EQ(SummaryRow(run.out, "QVX00002"), "QVX00002 failed picture 1 from " + picture);
  EXPECT_EQ(SummaryRow(run.out, "QVX00003"), "QVX00003 failed picture 1 from " + picture);
  EXPECT_EQ(SummaryRow(run.out, "QVX00004"), "QVX00004 completed");
  EXPECT_NE(run.err.find("QVX00002: Download failed: the generator did not accept"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("QVX00003: Download failed: the generator stopped answering"),
            std::string::npos)
      << run.err;

  const auto completed = UnitState(0).second;
  EXPECT_TRUE(UnitState(3).second == completed);
  EXPECT_FALSE(AllErased(completed));
  // The unplugged unit holds part of the picture and no banner; the mute one nothing at all.
  EXPECT_FALSE(UnitState(1).second == completed);
  EXPECT_TRUE(AllErased(UnitState(2).second));
}

// Parallel loads run on the station's per-unit load: a unit whose link glitches once is done
// again from its erase on a fresh open, and its records say so.
TEST_F(UnitsTest, AGlitchingUnitIsRecoveredByARetryAndTheRetryIsRecorded) {
  generator.SetUnits(3);
  generator.SelectUnit(1);
  generator.SetOption("glitch_after", 20000);  // in the middle of the banner
  const std::string record = TempDir() + "/units-retry.jsonl";
  std::filesystem::remove(record);
  const ToolRun run =
      Load({"--all-units", "--retries", "1", "--record", record, "banner", "3", banner});
  EXPECT_EQ(run.status, kExitCompleted) << run.err;
  for (const char* serial : {"QVX00001", "QVX00002", "QVX00003"})
    EXPECT_EQ(SummaryRow(run.out, serial), std::string(serial) + " completed");
  EXPECT_NE(run.out.find("QVX00002: [1/1] banner 3 from " + banner + " (attempt 2)\n"),
            std::string::npos)
      << run.out;

  std::map<std::string, std::vector<std::string>> attempts;  // by serial: "outcome attempt"
  std::ifstream in(record);
  for (std::string text; std::getline(in, text);) {
    const auto line = nlohmann::json::parse(text);
    std::string seen = line["outcome"];
    if (line.contains("attempt"))
      seen += " " + std::to_string(line["attempt"].get<int>());
    attempts[line["serial"]].push_back(seen);
  }
  const std::vector<std::string> first_time = {"started", "completed 1", "passed"};
  EXPECT_EQ(attempts, (std::map<std::string, std::vector<std::string>>{
                          {"QVX00001", first_time},
                          {"QVX00002", {"started", "failed 1", "completed 2", "passed"}},
                          {"QVX00003", first_time}}));
  const auto retried = UnitState(1).second;
  EXPECT_TRUE(retried == UnitState(0).second)
      << "the retry leaves what a load without a glitch does";
}

}  // namespace
}  // namespace qvx::test
