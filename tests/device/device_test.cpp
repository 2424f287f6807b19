// Driver binding, connection set-up, status poll and sector erase against the virtual generator.
#include <gtest/gtest.h>

#include "device/flash_map.h"
#include "download/kinds/slot.h"
#include "tests/support/session.h"

namespace qvx::test {
namespace {

using Lines = std::vector<std::string>;

class DeviceTest : public ::testing::Test {
 protected:
  void SetUp() override { generator.Reset(); }

  // How many trace entries since `from` start with `prefix`.
  static size_t Count(const Session& s, std::string_view prefix, size_t from) {
    return s.Only({prefix}, from).size();
  }

  GeneratorControl generator;
};

TEST_F(DeviceTest, StartUpOpensByDescriptionAndSendsOneEndLoad) {
  Session s(generator);
  EXPECT_TRUE(s.link.connected());
  EXPECT_EQ(s.link.description(), "QVX5120I1");
  EXPECT_EQ(s.Folded(),
            (Lines{"FT_OpenEx QVX5120I1 2 -> 0", "FT_ResetDevice -> 0", "title USB port OPEN",
                   "FT_SetTimeouts 3000 3000 -> 0", "FT_Purge 1 -> 0", "FT_SetTimeouts 100 0 -> 0",
                   "repaint", "FT_Purge 1 -> 0", "pause x1", "FT_Write FF -> 0 1", "enable 1000",
                   "enable 1002", "enable 1010", "enable 1053", "enable 1033", "cursor arrow"}));
  EXPECT_EQ(Hex(generator.Wire()), "FF");
  EXPECT_TRUE(generator.Violations().empty());
}

TEST_F(DeviceTest, FailedOpenReportsAndSendsNothing) {
  generator.SetOption("fail_open", 1);
  Session s(generator);
  EXPECT_FALSE(s.link.connected());
  EXPECT_EQ(s.Only({"box", "title"}),
            (Lines{"box USB DEVICE not responding", "title USB port NOT OPEN"}));
  EXPECT_TRUE(s.Only({"FT_Write", "FT_ResetDevice", "FT_Purge"}).empty());
  EXPECT_EQ(s.Only({"disable", "enable", "cursor"}),
            (Lines{"disable 1000", "disable 1002", "disable 1010", "disable 1053", "disable 1033",
                   "cursor wait"}));
  EXPECT_TRUE(generator.Wire().empty());
}

TEST_F(DeviceTest, NoDriverLibraryShowsFourBoxesInOrder) {
  Session s(generator, "libqvx-no-such-driver.so");
  EXPECT_FALSE(s.link.connected());
  EXPECT_EQ(s.Only({"box"}),
            (Lines{"box Error: Can't Load ft8u245.dll", "box FT_OpenEx is not valid!",
                   "box USB DEVICE not responding", "box FT_SetTimeouts is not valid!"}));
  EXPECT_EQ(s.Only({"title"}), (Lines{"title USB port NOT OPEN"}));
  EXPECT_EQ(s.driver.table().library, nullptr);
  EXPECT_EQ(s.driver.table().FT_Write, nullptr);
}

TEST_F(DeviceTest, LibraryWithoutPurgeBindsUpToItAndStillConnects) {
  Session s(generator, QVX_EMULATOR_DIR "/without-FT_Purge/libftd2xx.so");
  EXPECT_TRUE(s.link.connected());
  EXPECT_EQ(s.Only({"box"}),
            (Lines{"box Error: Can't Find FT_Purge", "box FT_SetTimeouts is not valid!",
                   "box FT_Purge is not valid!", "box FT_SetTimeouts is not valid!",
                   "box FT_Purge is not valid!"}));
  const DriverTable& table = s.driver.table();
  EXPECT_NE(table.FT_ResetDevice, nullptr);
  EXPECT_EQ(table.FT_Purge, nullptr);
  EXPECT_EQ(table.FT_SetTimeouts, nullptr);
  EXPECT_EQ(table.FT_GetQueueStatus, nullptr);
}

TEST_F(DeviceTest, MissingEntryPointsYieldOneAndLeaveOutParametersAlone) {
  Session s(generator, "libqvx-no-such-driver.so");
  const size_t from = s.recorder.trace.size();
  d2xx::Dword count = 77;
  uint8_t byte = 5;
  EXPECT_EQ(s.driver.GuardedRead(&byte, 1, &count), 1u);
  EXPECT_EQ(s.driver.GuardedWrite(&byte, 1, &count), 1u);
  EXPECT_EQ(s.driver.GuardedGetQueueStatus(&count), 1u);
  EXPECT_EQ(count, 77u);
  EXPECT_EQ(byte, 5);
  EXPECT_EQ(s.driver.GuardedOpen(0), 1u);
  EXPECT_EQ(s.driver.GuardedListDevices(nullptr, nullptr, 0), 1u);
  EXPECT_EQ(s.driver.GuardedClose(), 1u);
  EXPECT_EQ(s.driver.GuardedResetDevice(), 1u);
  EXPECT_EQ(s.driver.GuardedPurge(1), 1u);
  EXPECT_EQ(s.driver.GuardedSetTimeouts(1, 1), 1u);
  EXPECT_EQ(s.driver.GuardedOpenEx(nullptr, 2), 1u);
  EXPECT_EQ(s.Only({"box"}, from),
            (Lines{"box FT_Read is not valid!", "box FT_Write is not valid!",
                   "box FT_GetQueueStatus is not valid!", "box FT_Open is not valid!",
                   "box FT_ListDevices is not valid!", "box FT_Close is not valid!",
                   "box FT_ResetDevice is not valid!", "box FT_Purge is not valid!",
                   "box FT_SetTimeouts is not valid!", "box FT_OpenEx is not valid!"}));
}

TEST_F(DeviceTest, PollStatusAsksUntilTheGeneratorAnswersNonZero) {
  Session s(generator);
  generator.SetStatusAnswers({0, 0, 0, 1});
  const size_t from = s.recorder.trace.size();
  EXPECT_EQ(s.link.PollStatus(), 1);
  s.recorder.Sync();
  EXPECT_EQ(Count(s, "FT_Write FD", from), 4u);
  // One purge and pause first, then per attempt: the command, one query and pause, one read.
  EXPECT_EQ(
      s.Folded(from),
      (Lines{"FT_Purge 1 -> 0", "pause x1", "FT_Write FD -> 0 1", "FT_GetQueueStatus -> 0 1",
             "pause x1", "FT_Read 1 -> 0 1 00", "FT_Write FD -> 0 1", "FT_GetQueueStatus -> 0 1",
             "pause x1", "FT_Read 1 -> 0 1 00", "FT_Write FD -> 0 1", "FT_GetQueueStatus -> 0 1",
             "pause x1", "FT_Read 1 -> 0 1 00", "FT_Write FD -> 0 1", "FT_GetQueueStatus -> 0 1",
             "pause x1", "FT_Read 1 -> 0 1 01"}));
}

TEST_F(DeviceTest, PollOfAMuteGeneratorSpendsTheQueryBudgetOnceAndEndsAtTheSilenceBound) {
  Session s(generator);
  generator.SetOption("mute", 1);
  // Ten seconds pass at every reading: the third empty read comes 30 s after the poll began.
  s.recorder.clock.time.step_per_reading = std::chrono::seconds(10);
  const size_t from = s.recorder.trace.size();
  EXPECT_THROW(s.link.PollStatus(), DeviceFault);
  s.recorder.Sync();
  EXPECT_EQ(Count(s, "FT_Write FD", from), 3u);
  EXPECT_EQ(Count(s, "FT_GetQueueStatus", from), size_t{kPollQueryBudget + 2});
  // The first attempt spends the whole budget; the later ones make a single query each.
  const auto polls = s.Only({"FT_Write FD", "FT_GetQueueStatus", "FT_Read"}, from);
  EXPECT_EQ(polls[kPollQueryBudget + 2], "FT_Write FD -> 0 1");
  EXPECT_EQ(polls[kPollQueryBudget + 3], "FT_GetQueueStatus -> 0 0");
  EXPECT_EQ(polls[kPollQueryBudget + 4], "FT_Read 1 -> 0 0");
  EXPECT_EQ(s.recorder.clock.idles, 2);
}

TEST_F(DeviceTest, PollOfAGeneratorThatNeverBecomesReadyGivesUpWithZero) {
  Session s(generator);
  generator.SetOption("never_ready", 1);
  const size_t from = s.recorder.trace.size();
  EXPECT_EQ(s.link.PollStatus(), 0);
  s.recorder.Sync();
  EXPECT_EQ(Count(s, "FT_Write FD", from), size_t{kPollAttempts});
  EXPECT_EQ(Count(s, "FT_GetQueueStatus", from), size_t{kPollAttempts});
}

TEST_F(DeviceTest, EraseSectorSendsTheTableAddressThenEraseThenPolls) {
  const std::vector<std::pair<uint16_t, std::string>> rows = {
      {16, "06 80 00"}, {66, "1F 80 00"}, {67, "00 00 00"},    {0, "00 00 00"},
      {3, "00 40 00"},  {4, "00 80 00"},  {65535, "00 00 00"}, {1, "00 20 00"}};
  Session s(generator);
  for (const auto& [index, address] : rows) {
    const size_t from = s.recorder.trace.size();
    EraseSector(s.link, index);
    s.recorder.Sync();
    const auto writes = s.Only({"FT_Write"}, from);
    ASSERT_GE(writes.size(), 3u) << index;
    EXPECT_EQ(writes[0], "FT_Write F4 " + address + " -> 0 4") << index;
    EXPECT_EQ(writes[1], "FT_Write F6 -> 0 1") << index;
    EXPECT_EQ(writes[2], "FT_Write FD -> 0 1") << index;
  }
}

TEST_F(DeviceTest, EraseSectorSendsNothingWhenNotConnected) {
  generator.SetOption("fail_open", 1);
  Session s(generator);
  EraseSector(s.link, 16);
  EXPECT_TRUE(generator.Wire().empty());
}

TEST_F(DeviceTest, EraseThatNeverFinishesIsAFault) {
  Session s(generator);
  generator.SetOption("never_ready", 1);
  EXPECT_THROW(EraseSector(s.link, 20), DeviceFault);
  EXPECT_FALSE(s.link.write_failed());
}

TEST_F(DeviceTest, RefusedWriteIsAFaultAndEndsTheLoadingBrackets) {
  Session s(generator);
  generator.SetOption("unplug_after", 3);  // the start-up byte, then two more
  s.link.BeginOperation();
  s.link.SendBeginLoad();
  EXPECT_THROW(s.link.SetAddress(0x068000), DeviceFault);
  EXPECT_TRUE(s.link.write_failed());
  const size_t wire = generator.Wire().size();
  s.link.SendEndLoad();
  EXPECT_EQ(generator.Wire().size(), wire);
}

TEST_F(DeviceTest, LoadingBracketsSendNothingWhenNotConnected) {
  generator.SetOption("fail_open", 1);
  Session s(generator);
  const size_t from = s.recorder.trace.size();
  s.link.SendBeginLoad();
  s.link.SendEndLoad();
  EXPECT_EQ(s.recorder.trace.size(), from);  // no write, no pause, no cursor change
}

TEST(AddressFormat, SendsBits23To0MostSignificantFirst) {
  EXPECT_EQ(Hex(AddressCommand(0x068000)), "F4 06 80 00");
  EXPECT_EQ(Hex(AddressCommand(0x1F8000)), "F4 1F 80 00");
  EXPECT_EQ(Hex(AddressCommand(0x12345678)), "F4 34 56 78");
}

TEST(FlashMap, SectorTableFollowsTheSmallThenLargeSectorLayout) {
  EXPECT_EQ(SectorAddress(1), 0x002000u);
  EXPECT_EQ(SectorAddress(2), 0x003000u);
  EXPECT_EQ(SectorAddress(3), 0x004000u);
  for (uint16_t n = 4; n <= 66; ++n) {
    const uint32_t address = SectorAddress(n);
    EXPECT_EQ(address >> 16, (n - 3u) / 2) << n;
    EXPECT_EQ((address >> 8) & 0xFF, n % 2 == 0 ? 0x80u : 0x00u) << n;
    EXPECT_EQ(address & 0xFF, 0u) << n;
  }
  EXPECT_EQ(SectorAddress(0), 0u);
  EXPECT_EQ(SectorAddress(67), 0u);
}

TEST(FlashMap, SlotsEraseAndWriteTheirOwnRegions) {
  EXPECT_EQ(PatternSlot(0).first_address, 0x000000u);
  EXPECT_EQ(PatternSlot(4).first_address, 0x008000u);
  EXPECT_EQ(PatternSlot(15).first_address, 0x060000u);
  EXPECT_EQ(PatternSlot(15).first_sector, 15);
  EXPECT_EQ(PatternSlot(16).first_address, 0u);
  EXPECT_EQ(AudioSlot().first_sector, 16);
  EXPECT_EQ(AudioSlot().first_address, 0x068000u);
  for (int n = 1; n <= 8; ++n) {
    const FlashSlot slot = BannerSlot(n);
    EXPECT_EQ(slot.first_sector, 17 + 2 * n);
    EXPECT_EQ(slot.sector_count, 2);
    EXPECT_EQ(slot.first_address, 0x80000u + (n - 1) * 0x10000u);
    EXPECT_EQ(slot.second_address, slot.first_address + 0x8000u);
  }
  EXPECT_EQ(BannerSlot(9).first_sector, 17);
  EXPECT_EQ(BannerSlot(9).first_address, 0x70000u);
  EXPECT_EQ(BannerSlot(9).second_address, 0x78000u);
  EXPECT_EQ(BannerSlot(0).first_sector, 19);
  EXPECT_EQ(PictureSlot(0).first_sector, 35);
  EXPECT_EQ(PictureSlot(0).first_address, 0x100000u);
  EXPECT_EQ(PictureSlot(0).second_address, 0x140000u);
  EXPECT_EQ(PictureSlot(1).first_sector, 51);
  EXPECT_EQ(PictureSlot(7).first_address, 0x180000u);
  EXPECT_EQ(PictureSlot(1).second_address, 0x1C0000u);
  EXPECT_EQ(PictureSlot(1).sector_count, 16);
}

}  // namespace
}  // namespace qvx::test

namespace qvx {
namespace {

// Typed numbers as users know them from the window's lists: pictures 1-2, banners 1-8, the
// countdown as banner 9, patterns 0-15, one audio loop; each lands on its flash place.
TEST(SlotParse, TakesExactlyTheNumbersOfEachKindAndFindsTheirFlash) {
  struct Case {
    SlotKind kind;
    const char* text;
    std::optional<uint32_t> first_address;  // nothing: refused
  };
  const Case cases[] = {
      {SlotKind::kPicture, "1", 0x100000u}, {SlotKind::kPicture, "2", 0x180000u},
      {SlotKind::kPicture, "0", {}},        {SlotKind::kPicture, "3", {}},
      {SlotKind::kBanner, "1", 0x80000u},   {SlotKind::kBanner, "8", 0xF0000u},
      {SlotKind::kBanner, "9", {}},         {SlotKind::kCountdown, "9", 0x70000u},
      {SlotKind::kCountdown, "8", {}},      {SlotKind::kPattern, "0", 0x0u},
      {SlotKind::kPattern, "15", 0x60000u}, {SlotKind::kPattern, "16", {}},
      {SlotKind::kPattern, "-1", {}},       {SlotKind::kPattern, "+1", {}},
      {SlotKind::kPattern, " 1", {}},       {SlotKind::kPattern, "1x", {}},
      {SlotKind::kPattern, "", {}},         {SlotKind::kPattern, "99999999999", {}},
      {SlotKind::kAudio, "0", 0x68000u},    {SlotKind::kAudio, "1", {}},
  };
  for (const Case& c : cases) {
    const auto slot = Slot::Parse(c.kind, c.text);
    EXPECT_EQ(slot.has_value(), c.first_address.has_value()) << Slot::Name(c.kind) << " " << c.text;
    if (slot && c.first_address) {
      EXPECT_EQ(slot->flash().first_address, *c.first_address) << Slot::Name(c.kind) << c.text;
      EXPECT_EQ(std::to_string(slot->number()), c.text);
    }
  }
}

}  // namespace
}  // namespace qvx
