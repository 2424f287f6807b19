// The glitch fault (QVX_VG_GLITCH_AFTER): once per plug, the open that reaches N bytes has its link
// drop after them, as QVX_VG_UNPLUG_AFTER's does, until the unit is opened again; that open and
// every later one of the plug run clean.
#include <cstdlib>

#include "tests/emulator/emu_fixture.h"
#include "tests/support/rack_file.h"

namespace qvx::test {
namespace {

using EmuGlitch = EmuTest;

// One open of the unit and the writes made in it: each write's bytes, status and count taken.
struct Write {
  size_t bytes;
  d2xx::Status status;
  d2xx::Dword written;
};
using OpenRun = std::vector<Write>;

// Opens, makes the writes and closes; every write must end as its row says.
void RunOpen(EmuHost& host, const OpenRun& writes, const std::string& where) {
  ASSERT_EQ(host.Open(), d2xx::FT_OK) << where;
  for (size_t i = 0; i < writes.size(); ++i) {
    d2xx::Dword written = 99;
    EXPECT_EQ(host.Write(Bytes(writes[i].bytes, kEndLoad), &written), writes[i].status)
        << where << ", write " << i;
    EXPECT_EQ(written, writes[i].written) << where << ", write " << i;
  }
  ASSERT_EQ(host.FT_Close(host.handle), d2xx::FT_OK) << where;
}

TEST_F(EmuGlitch, OnceAPlugTheLinkDropsAfterNBytesUntilTheNextOpen) {
  struct Row {
    const char* name;
    long long glitch_after;
    std::vector<OpenRun> opens;
  };
  const Row rows[] = {
      {"the crossing write is cut short, the rest of the open refused",
       5,
       {{{3, d2xx::FT_OK, 3}, {4, d2xx::FT_IO_ERROR, 2}, {1, d2xx::FT_IO_ERROR, 0}},
        {{100, d2xx::FT_OK, 100}},
        {{100, d2xx::FT_OK, 100}}}},
      {"an open ending exactly at N has had the glitch",
       4,
       {{{4, d2xx::FT_OK, 4}, {1, d2xx::FT_IO_ERROR, 0}}, {{100, d2xx::FT_OK, 100}}}},
      {"an open that stays short of N leaves the glitch to a later open",
       5,
       {{{3, d2xx::FT_OK, 3}},
        {{3, d2xx::FT_OK, 3}, {3, d2xx::FT_IO_ERROR, 2}},
        {{100, d2xx::FT_OK, 100}}}},
      {"at 0 the first open takes nothing",
       0,
       {{{1, d2xx::FT_IO_ERROR, 0}}, {{1, d2xx::FT_OK, 1}, {100, d2xx::FT_OK, 100}}}},
      {"off", -1, {{{1000, d2xx::FT_OK, 1000}}}},
  };
  for (const Row& row : rows) {
    vg_.Reset();
    vg_.SetOption("glitch_after", row.glitch_after);
    for (size_t open = 0; open < row.opens.size(); ++open)
      RunOpen(host_, row.opens[open], std::string(row.name) + ", open " + std::to_string(open));
  }
}

TEST_F(EmuGlitch, WhileGlitchedTheLinkIsDownAsWhenUnplugged) {
  vg_.SetOption("glitch_after", 1);
  ASSERT_EQ(host_.Open(), d2xx::FT_OK);
  ASSERT_EQ(host_.Write({kBeginLoad}), d2xx::FT_OK);
  uint8_t byte = 0;
  d2xx::Dword got = 99;
  EXPECT_EQ(host_.FT_Read(host_.handle, &byte, 1, &got), d2xx::FT_IO_ERROR);
  d2xx::Dword queued = 99;
  EXPECT_EQ(host_.FT_GetQueueStatus(host_.handle, &queued), d2xx::FT_IO_ERROR);
  EXPECT_EQ(host_.FT_Purge(host_.handle, d2xx::FT_PURGE_RX), d2xx::FT_IO_ERROR);
  EXPECT_EQ(host_.FT_SetTimeouts(host_.handle, 100, 0), d2xx::FT_OK);
  EXPECT_EQ(host_.FT_ResetDevice(host_.handle), d2xx::FT_OK);
  // The retry: close, open again, and the same status request is answered.
  ASSERT_EQ(host_.FT_Close(host_.handle), d2xx::FT_OK);
  ASSERT_EQ(host_.Open(), d2xx::FT_OK);
  host_.Write({kBeginLoad});
  EXPECT_EQ(host_.ReadStatus(), std::optional<uint8_t>(1));
  EXPECT_EQ(VirtualGenerator::Hex(vg_.Wire()), "F0 F0 FD");
}

TEST_F(EmuGlitch, EachPlugOfARackHasItsGlitchAndTheFaultUnitLimitsIt) {
  TestRack rack("rack-glitch", {"SN-1 1-1", "SN-2 1-2"});
  setenv("QVX_VG_GLITCH_AFTER", "2", 1);
  setenv("QVX_VG_FAULT_UNIT", "SN-1", 1);
  vg_.Reset();
  const auto open_and_write = [&](d2xx::Dword location) {
    d2xx::Handle handle = nullptr;
    EXPECT_EQ(host_.OpenAt(location, &handle), d2xx::FT_OK);
    host_.handle = handle;
    const d2xx::Status status = host_.Write(Bytes(3, kEndLoad));
    host_.FT_Close(handle);
    return status;
  };
  EXPECT_EQ(open_and_write(0x11), d2xx::FT_IO_ERROR);
  EXPECT_EQ(open_and_write(0x11), d2xx::FT_OK);
  EXPECT_EQ(open_and_write(0x12), d2xx::FT_OK) << "not the fault unit";
  rack.Write({"SN-2 1-2"});
  host_.List();
  rack.Write({"SN-1 1-1", "SN-2 1-2"});
  EXPECT_EQ(open_and_write(0x11), d2xx::FT_IO_ERROR) << "a fresh plug glitches again";
  EXPECT_EQ(open_and_write(0x11), d2xx::FT_OK);
  unsetenv("QVX_VG_FAULT_UNIT");
  unsetenv("QVX_VG_GLITCH_AFTER");
}

}  // namespace
}  // namespace qvx::test
