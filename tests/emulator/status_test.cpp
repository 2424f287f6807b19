// The status poll: one answer byte per CMD_READ_STATUS, busy for a number of polls after an erase
// or a pattern write, and the scripted, never-ready and mute behaviours.
#include <chrono>
#include <cstdlib>
#include <optional>
#include <thread>

#include "tests/emulator/emu_fixture.h"

namespace qvx::test {
namespace {

using EmuStatus = EmuTest;
using Answers = std::vector<std::optional<uint8_t>>;

TEST_F(EmuStatus, ReadyBeforeAnyFlashStep) {
  OpenLoading();
  EXPECT_EQ(host_.ReadStatuses(2), (Answers{1, 1}));
}

TEST_F(EmuStatus, EraseIsBusyForTwoPollsByDefault) {
  OpenLoading();
  host_.Erase(0x068000);
  EXPECT_EQ(host_.ReadStatuses(4), (Answers{0, 0, 1, 1}));
}

TEST_F(EmuStatus, PatternWriteIsBusyForTwoPolls) {
  OpenLoading();
  host_.SetAddress(0x002000);
  host_.Pattern(Bytes(kPatternBytes, 0x00));
  EXPECT_EQ(host_.ReadStatuses(3), (Answers{0, 0, 1}));
}

TEST_F(EmuStatus, BlockWritesDoNotMakeTheDeviceBusy) {
  OpenLoading();
  host_.SetAddress(0x068000);
  host_.Block(EmuHost::FilledBlock(0x01));
  EXPECT_EQ(host_.ReadStatuses(1), (Answers{1}));
}

TEST_F(EmuStatus, BusyPollsOption) {
  OpenLoading();
  vg_.SetOption("busy_polls", 3);
  host_.Erase(0x002000);
  EXPECT_EQ(host_.ReadStatuses(4), (Answers{0, 0, 0, 1}));
  vg_.SetOption("busy_polls", 0);
  host_.Erase(0x002000);
  EXPECT_EQ(host_.ReadStatuses(1), (Answers{1}));
}

TEST_F(EmuStatus, BusyPollsFromTheEnvironment) {
  setenv("QVX_VG_BUSY_POLLS", "1", 1);
  vg_.Reset();
  unsetenv("QVX_VG_BUSY_POLLS");
  vg_.SetFlashFile("");
  OpenLoading();
  host_.Erase(0x002000);
  EXPECT_EQ(host_.ReadStatuses(2), (Answers{0, 1}));
}

TEST_F(EmuStatus, ScriptedAnswersComeFirstThenTheNormalModel) {
  OpenLoading();
  vg_.SetStatusAnswers({0, 0, 0, 7});
  host_.Erase(0x008000);
  EXPECT_EQ(host_.ReadStatuses(7), (Answers{0, 0, 0, 7, 0, 0, 1}));
}

TEST_F(EmuStatus, NeverReadyAlwaysAnswersZero) {
  OpenLoading();
  vg_.SetOption("never_ready", 1);
  EXPECT_EQ(host_.ReadStatuses(5), (Answers{0, 0, 0, 0, 0}));
  vg_.SetOption("never_ready", 0);
  EXPECT_EQ(host_.ReadStatuses(1), (Answers{1}));
}

TEST_F(EmuStatus, MuteNeverQueuesAnAnswerAndReadsWithoutATimeOutReturnAtOnce) {
  OpenLoading();
  vg_.SetOption("mute", 1);
  host_.Write({kReadStatus});
  d2xx::Dword queued = 99;
  EXPECT_EQ(host_.FT_GetQueueStatus(host_.handle, &queued), d2xx::FT_OK);
  EXPECT_EQ(queued, 0u);
  uint8_t byte = 0xAA;
  d2xx::Dword got = 99;
  EXPECT_EQ(host_.FT_Read(host_.handle, &byte, 1, &got), d2xx::FT_OK);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(byte, 0xAA);
}

TEST_F(EmuStatus, AnswersQueueUpAndPurgeOfTheReceiveSideClearsThem) {
  OpenLoading();
  host_.Erase(0x010000);
  host_.Write({kReadStatus, kReadStatus, kReadStatus});
  d2xx::Dword queued = 0;
  host_.FT_GetQueueStatus(host_.handle, &queued);
  EXPECT_EQ(queued, 3u);

  EXPECT_EQ(host_.FT_Purge(host_.handle, d2xx::FT_PURGE_TX), d2xx::FT_OK);
  host_.FT_GetQueueStatus(host_.handle, &queued);
  EXPECT_EQ(queued, 3u) << "purging the transmit side leaves received bytes";

  uint8_t bytes[4] = {9, 9, 9, 9};
  d2xx::Dword got = 0;
  EXPECT_EQ(host_.FT_Read(host_.handle, bytes, 2, &got), d2xx::FT_OK);
  EXPECT_EQ(got, 2u);
  EXPECT_EQ(bytes[0], 0);
  EXPECT_EQ(bytes[1], 0);
  EXPECT_EQ(bytes[2], 9);

  EXPECT_EQ(host_.FT_Purge(host_.handle, d2xx::FT_PURGE_RX), d2xx::FT_OK);
  host_.FT_GetQueueStatus(host_.handle, &queued);
  EXPECT_EQ(queued, 0u);
}

// Real-hardware timing: a flash step keeps the flash busy for real time, answers reach the receive
// queue after the USB latency, and a read waits for them up to its time-out.
TEST_F(EmuStatus, SlowEraseAnswersBusyUntilItsTimeHasPassed) {
  OpenLoading();
  vg_.SetOption("busy_polls", 0);
  vg_.SetOption("erase_ms", 400);
  // Each answer now takes a USB frame to arrive: the reads wait for it.
  ASSERT_EQ(host_.FT_SetTimeouts(host_.handle, 1000, 0), d2xx::FT_OK);
  host_.Erase(0x068000);
  EXPECT_EQ(host_.ReadStatus(), std::optional<uint8_t>(0));
  int busy = 1;
  while (host_.ReadStatus() == std::optional<uint8_t>(0) && busy < 10000) {
    ++busy;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_LT(busy, 10000) << "the erase never finished";
  EXPECT_EQ(host_.ReadStatus(), std::optional<uint8_t>(1));
}

TEST_F(EmuStatus, LateAnswersAreWaitedForByAReadWithinItsTimeOut) {
  OpenLoading();
  vg_.SetOption("latency_ms", 300);
  ASSERT_EQ(host_.FT_SetTimeouts(host_.handle, 5000, 0), d2xx::FT_OK);
  host_.Write({kReadStatus});
  d2xx::Dword queued = 99;
  host_.FT_GetQueueStatus(host_.handle, &queued);
  EXPECT_EQ(queued, 0u) << "the answer is still on its way";
  uint8_t byte = 0xAA;
  d2xx::Dword got = 0;
  EXPECT_EQ(host_.FT_Read(host_.handle, &byte, 1, &got), d2xx::FT_OK);
  EXPECT_EQ(got, 1u);
  EXPECT_EQ(byte, 1);

  // A mute generator: the read waits out its time-out and comes back short.
  vg_.SetOption("mute", 1);
  ASSERT_EQ(host_.FT_SetTimeouts(host_.handle, 50, 0), d2xx::FT_OK);
  host_.Write({kReadStatus});
  got = 99;
  EXPECT_EQ(host_.FT_Read(host_.handle, &byte, 1, &got), d2xx::FT_OK);
  EXPECT_EQ(got, 0u);
}

}  // namespace
}  // namespace qvx::test
