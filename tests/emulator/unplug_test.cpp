// The unplug fault: the device takes only the first N bytes after an open; the write that crosses
// N is cut short with FT_IO_ERROR, and the link stays dead until the next open.
#include <cstdlib>

#include "tests/emulator/emu_fixture.h"

namespace qvx::test {
namespace {

using EmuUnplug = EmuTest;

TEST_F(EmuUnplug, TheCrossingWriteIsCutShortAndEverythingAfterFails) {
  vg_.SetOption("unplug_after", 10);
  OpenLoading();                                                    // 1 byte
  ASSERT_EQ(host_.Write(EmuHost::Address(0x068000)), d2xx::FT_OK);  // 5
  d2xx::Dword written = 99;
  EXPECT_EQ(host_.Write({kWriteBlock, 1, 2, 3, 4, 5, 6, 7}, &written), d2xx::FT_IO_ERROR);
  EXPECT_EQ(written, 5u);
  EXPECT_EQ(VirtualGenerator::Hex(vg_.Wire()), "F0 F4 06 80 00 F8 01 02 03 04");

  EXPECT_EQ(host_.Write({kEndLoad}, &written), d2xx::FT_IO_ERROR);
  EXPECT_EQ(written, 0u);
  d2xx::Dword queued = 99;
  EXPECT_EQ(host_.FT_GetQueueStatus(host_.handle, &queued), d2xx::FT_IO_ERROR);
  EXPECT_EQ(queued, 0u);
  uint8_t byte = 0;
  d2xx::Dword got = 99;
  EXPECT_EQ(host_.FT_Read(host_.handle, &byte, 1, &got), d2xx::FT_IO_ERROR);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(host_.FT_Purge(host_.handle, 1), d2xx::FT_IO_ERROR);
  EXPECT_EQ(host_.FT_SetTimeouts(host_.handle, 100, 0), d2xx::FT_OK);
  EXPECT_EQ(host_.FT_ResetDevice(host_.handle), d2xx::FT_OK);
  EXPECT_EQ(vg_.Wire().size(), 10u);
  EXPECT_TRUE(vg_.InLoadingMode()) << "the refused CMD_END_LOAD never arrived";
}

TEST_F(EmuUnplug, OnlyTheAcceptedBytesAreParsed) {
  vg_.SetOption("unplug_after", 2);
  ASSERT_EQ(host_.Open(), d2xx::FT_OK);
  d2xx::Dword written = 0;
  EXPECT_EQ(host_.Write({kBeginLoad, kEndLoad, 0x00, kWriteBlock}, &written), d2xx::FT_IO_ERROR);
  EXPECT_EQ(written, 2u);
  EXPECT_FALSE(vg_.InLoadingMode());
  EXPECT_TRUE(vg_.Violations().empty()) << "the unknown byte 00 was never accepted";
}

TEST_F(EmuUnplug, AWriteEndingExactlyAtTheLimitSucceedsAndTheNextFails) {
  vg_.SetOption("unplug_after", 4);
  ASSERT_EQ(host_.Open(), d2xx::FT_OK);
  d2xx::Dword written = 0;
  EXPECT_EQ(host_.Write(EmuHost::Address(0x010000), &written), d2xx::FT_OK);
  EXPECT_EQ(written, 4u);
  EXPECT_EQ(host_.Write({kEraseSector}, &written), d2xx::FT_IO_ERROR);
  EXPECT_EQ(written, 0u);
}

TEST_F(EmuUnplug, CountingStartsAgainAtEachOpen) {
  setenv("QVX_VG_UNPLUG_AFTER", "3", 1);
  vg_.Reset();
  unsetenv("QVX_VG_UNPLUG_AFTER");
  vg_.SetFlashFile("");
  ASSERT_EQ(host_.Open(), d2xx::FT_OK);
  d2xx::Dword written = 0;
  EXPECT_EQ(host_.Write({kBeginLoad, kEndLoad, kBeginLoad, kEndLoad}, &written), d2xx::FT_IO_ERROR);
  EXPECT_EQ(written, 3u);
  ASSERT_EQ(host_.FT_Close(host_.handle), d2xx::FT_OK);
  ASSERT_EQ(host_.Open(), d2xx::FT_OK);
  EXPECT_EQ(host_.Write({kEndLoad, kBeginLoad}, &written), d2xx::FT_OK);
  EXPECT_EQ(written, 2u);
  EXPECT_EQ(VirtualGenerator::Hex(vg_.Wire()), "F0 FF F0 FF F0");

  vg_.SetOption("unplug_after", -1);
  EXPECT_EQ(host_.Write(Bytes(100, kEndLoad), &written), d2xx::FT_OK);
  EXPECT_EQ(written, 100u);
}

}  // namespace
}  // namespace qvx::test
