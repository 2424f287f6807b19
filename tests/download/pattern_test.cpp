// The test pattern download, end to end on the virtual generator.
#include <numeric>

#include "tests/support/download_fixture.h"

namespace qvx::test {
namespace {

std::vector<uint8_t> PatternBytes(size_t size, uint8_t seed) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<uint8_t>(i * 7 + seed);
  return bytes;
}

class PatternTest : public DownloadTest {};

TEST_F(PatternTest, ItemFourStoresTheFirst2880BytesOfALongerFile) {
  Session s(generator);
  const auto bytes = PatternBytes(3000, 1);
  s.Run(DownloadRequest::Pattern(4), WriteFile("long.tst", bytes));

  const Lines erase = {"> F4 00 80 00", "> F6", "> FD x3", "wait 3"};
  Lines expected = {"> F0", "wait 1"};
  expected.insert(expected.end(), erase.begin(), erase.end());
  expected.insert(expected.end(),
                  {"> FF", "progress 0", "title Erasing Test Pattern 4", "> F0", "wait 1"});
  expected.insert(expected.end(), erase.begin(), erase.end());
  expected.insert(expected.end(), {"> FF",
                                   "progress 0",
                                   "progress 20",
                                   "wait 1",
                                   "progress 40",
                                   "wait 1",
                                   "progress 60",
                                   "wait 1",
                                   "progress 80",
                                   "wait 1",
                                   "progress 0",
                                   "title Downloading Test Pattern 4",
                                   "file Test Line files(*.tst) *.tst",
                                   "> F0",
                                   "> F4 00 80 00",
                                   "> F9",
                                   "> [2880]",
                                   "> FD x3",
                                   "> FE",
                                   "> FF x2",
                                   "progress 0",
                                   "progress 33",
                                   "wait 1",
                                   "progress 66",
                                   "wait 1",
                                   "progress 0",
                                   "title Finished Test Pattern Download",
                                   "info Download Complete | QVX-5120",
                                   kReset});
  EXPECT_EQ(s.Script(s.after_start), expected);

  const auto stored = generator.FlashAt(0x008000, 1440);
  EXPECT_TRUE(std::equal(stored.begin(), stored.end(), bytes.begin()));
  EXPECT_TRUE(AllErased(generator.FlashAt(0x008000 + 1440, 0x8000 - 1440)));
  EXPECT_EQ(s.recorder.enabled[control::kDownloadAudio], true);
  EXPECT_FALSE(s.recorder.wait_cursor);
}

TEST_F(PatternTest, WriteStepPausesAsTheGeneratorNeeds) {
  Session s(generator);
  s.Run(DownloadRequest::Pattern(0), WriteFile("p.tst", PatternBytes(2880, 2)));
  const Lines folded = s.Folded(s.after_start);
  const auto f9 = std::find(folded.begin(), folded.end(), "FT_Write F9 -> 0 1");
  ASSERT_NE(f9, folded.end());
  // Purge, pause, CMD_BEGIN_LOAD with its pause, one more pause, the address and its pause.
  EXPECT_EQ(
      Lines(f9 - 8, f9 + 1),
      (Lines{"cursor wait", "FT_Purge 1 -> 0", "pause x1", "cursor wait", "FT_Write F0 -> 0 1",
             "pause x2", "FT_Write F4 00 00 00 -> 0 4", "pause x1", "FT_Write F9 -> 0 1"}));
  const auto fe = std::find(folded.begin(), folded.end(), "FT_Write FE -> 0 1");
  ASSERT_NE(fe, folded.end());
  EXPECT_EQ(Lines(fe - 1, fe + 4), (Lines{"pause x1", "FT_Write FE -> 0 1", "pause x3",
                                          "FT_Write FF -> 0 1", "pause x1"}));
}

TEST_F(PatternTest, ItemsZeroAndFifteenUseTheirSectorsAndNumbers) {
  for (const auto& [item, address] :
       std::vector<std::pair<int, std::string>>{{0, "00 00 00"}, {15, "06 00 00"}}) {
    generator.Reset();
    Session s(generator);
    s.Run(DownloadRequest::Pattern(item), WriteFile("p.tst", PatternBytes(2880, 3)));
    const Lines script = s.Script(s.after_start);
    EXPECT_EQ(Matching(script, "> F4"), Lines(3, "> F4 " + address)) << item;
    EXPECT_EQ(Matching(script, "title"),
              (Lines{"title Erasing Test Pattern " + std::to_string(item),
                     "title Downloading Test Pattern " + std::to_string(item),
                     "title Finished Test Pattern Download", kReset}));
  }
}

TEST_F(PatternTest, CancelLeavesTheSlotErasedAndStillCompletes) {
  Session s(generator);
  s.Run(DownloadRequest::Pattern(6), WriteFile("p.tst", PatternBytes(2880, 4)));
  ASSERT_FALSE(AllErased(generator.FlashAt(0x018000, 1440)));

  const size_t from = s.recorder.trace.size();
  s.Run(DownloadRequest::Pattern(6));  // no answer scripted: the dialog is cancelled
  const Lines script = s.Script(from);
  EXPECT_EQ(Matching(script, "> F9"), Lines{});
  EXPECT_EQ(Matching(script, "info"), Lines{"info Download Complete | QVX-5120"});
  EXPECT_TRUE(AllErased(generator.FlashAt(0x018000, 0x8000)));
}

TEST_F(PatternTest, ShortFileIsPaddedWithZerosNotAnEarlierFile) {
  Session s(generator);
  s.Run(DownloadRequest::Pattern(9), WriteFile("long.tst", PatternBytes(3000, 5)));
  const auto short_file = PatternBytes(100, 6);
  s.Run(DownloadRequest::Pattern(9), WriteFile("short.tst", short_file));

  std::vector<uint8_t> expected(2880, 0);
  std::copy(short_file.begin(), short_file.end(), expected.begin());
  const auto stored = generator.FlashAt(0x030000, 1440);
  EXPECT_EQ(std::vector<uint8_t>(stored.begin(), stored.end()), expected);
}

TEST_F(PatternTest, FileThatCannotBeOpenedWritesNothing) {
  Session s(generator);
  s.Run(DownloadRequest::Pattern(2), WriteFile("old.tst", PatternBytes(2880, 7)));
  for (const std::string& path : {TempDir() + "/missing.tst", TempDir()}) {
    const size_t from = s.recorder.trace.size();
    s.Run(DownloadRequest::Pattern(2), path);
    const Lines script = s.Script(from);
    EXPECT_EQ(Matching(script, "> F9"), Lines{}) << path;
    EXPECT_EQ(Matching(script, "box"), Lines{}) << path;
    EXPECT_EQ(Matching(script, "info"), Lines{"info Download Complete | QVX-5120"}) << path;
    EXPECT_TRUE(AllErased(generator.FlashAt(0x003000, 0x1000))) << path;
  }
}

TEST_F(PatternTest, NotConnectedShowsOnlyTheClosingSteps) {
  generator.SetOption("fail_open", 1);
  Session s(generator);
  s.Run(DownloadRequest::Pattern(0));
  EXPECT_EQ(s.Script(s.after_start), (Lines{"progress 33", "wait 1", "progress 66", "wait 1",
                                            "progress 0", "title Finished Test Pattern Download",
                                            "info Download Complete | QVX-5120", kReset}));
  EXPECT_TRUE(generator.Wire().empty());
}

}  // namespace
}  // namespace qvx::test
