// The capture log: one line per D2XX call, in order, in the fixed text format, also appended to
// the file named by QVX_VG_CAPTURE so that another process can follow it.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "tests/emulator/emu_fixture.h"

namespace qvx::test {
namespace {

using EmuCapture = EmuTest;

// Start-up, one sector erase with its status poll, and the end of the operation.
void SmallSession(EmuHost& host) {
  ASSERT_EQ(host.Open(), d2xx::FT_OK);
  host.FT_ResetDevice(host.handle);
  host.FT_SetTimeouts(host.handle, 3000, 3000);
  host.FT_Purge(host.handle, 1);
  host.FT_SetTimeouts(host.handle, 100, 0);
  host.FT_Purge(host.handle, 1);
  host.Write({kEndLoad});
  host.Write({kBeginLoad});
  host.Erase(0x068000);
  host.FT_Purge(host.handle, 1);
  host.ReadStatus();
  host.ReadStatus();
  host.ReadStatus();
  host.Write({kEndLoad});
  uint8_t bytes[2];
  d2xx::Dword got = 0;
  host.FT_Read(host.handle, bytes, 2, &got);
  host.Write({});
  host.FT_Close(host.handle);
}

const std::vector<std::string> kSmallSessionLines = {
    "FT_OpenEx QVX5120I1 2 -> 0",
    "FT_ResetDevice -> 0",
    "FT_SetTimeouts 3000 3000 -> 0",
    "FT_Purge 1 -> 0",
    "FT_SetTimeouts 100 0 -> 0",
    "FT_Purge 1 -> 0",
    "FT_Write FF -> 0 1",
    "FT_Write F0 -> 0 1",
    "FT_Write F4 06 80 00 -> 0 4",
    "FT_Write F6 -> 0 1",
    "FT_Purge 1 -> 0",
    "FT_Write FD -> 0 1",
    "FT_GetQueueStatus -> 0 1",
    "FT_Read 1 -> 0 1 00",
    "FT_Write FD -> 0 1",
    "FT_GetQueueStatus -> 0 1",
    "FT_Read 1 -> 0 1 00",
    "FT_Write FD -> 0 1",
    "FT_GetQueueStatus -> 0 1",
    "FT_Read 1 -> 0 1 01",
    "FT_Write FF -> 0 1",
    "FT_Read 2 -> 0 0",
    "FT_Write -> 0 0",
    "FT_Close -> 0",
};

TEST_F(EmuCapture, ExactLinesOfASmallSession) {
  SmallSession(host_);
  EXPECT_EQ(vg_.Calls(), kSmallSessionLines);
  EXPECT_EQ(VirtualGenerator::Hex(vg_.Wire()), "FF F0 F4 06 80 00 F6 FD FD FD FF");
  EXPECT_TRUE(vg_.Violations().empty());
}

TEST_F(EmuCapture, ResetEmptiesTheLogAndTheWire) {
  SmallSession(host_);
  vg_.Reset();
  EXPECT_TRUE(vg_.Calls().empty());
  EXPECT_TRUE(vg_.Wire().empty());
  EXPECT_FALSE(vg_.InLoadingMode());
  EXPECT_EQ(host_.Write({kEndLoad}), d2xx::FT_INVALID_HANDLE) << "reset closes the device";
}

TEST_F(EmuCapture, RestartEmptiesTheLogAndTheWireAndKeepsTheDeviceOpen) {
  ASSERT_EQ(host_.Open(), d2xx::FT_OK);
  vg_.SetOption("busy_polls", 0);
  host_.Write({kBeginLoad});
  host_.SetAddress(0x068000);
  host_.Block(EmuHost::FilledBlock(0x00));
  vg_.Restart();
  EXPECT_TRUE(vg_.Calls().empty());
  EXPECT_TRUE(vg_.Wire().empty());
  EXPECT_FALSE(vg_.InLoadingMode());
  EXPECT_EQ(std::count(vg_.Flash().begin(), vg_.Flash().end(), 0xFF),
            static_cast<long>(vg_.Flash().size()));
  // The handle still works, and the option set before the restart still holds.
  ASSERT_EQ(host_.Write({kBeginLoad}), d2xx::FT_OK);
  host_.Erase(0x068000);
  host_.ReadStatus();
  EXPECT_EQ(vg_.Calls(), (std::vector<std::string>{
                             "FT_Write F0 -> 0 1",
                             "FT_Write F4 06 80 00 -> 0 4",
                             "FT_Write F6 -> 0 1",
                             "FT_Write FD -> 0 1",
                             "FT_GetQueueStatus -> 0 1",
                             "FT_Read 1 -> 0 1 01",
                         }));
  EXPECT_TRUE(vg_.Violations().empty());
}

TEST_F(EmuCapture, WithoutTheCallLogNothingIsLoggedButTheWireAndFlashFollow) {
  vg_.SetOption("log_calls", 0);
  SmallSession(host_);
  EXPECT_TRUE(vg_.Calls().empty());
  EXPECT_EQ(VirtualGenerator::Hex(vg_.Wire()), "FF F0 F4 06 80 00 F6 FD FD FD FF");
  vg_.SetOption("log_calls", 1);
  ASSERT_EQ(host_.Open(), d2xx::FT_OK);
  EXPECT_EQ(vg_.Calls(), std::vector<std::string>{"FT_OpenEx QVX5120I1 2 -> 0"});
}

TEST_F(EmuCapture, LinesAreMirroredToTheCaptureFile) {
  const auto path =
      std::filesystem::path(::testing::TempDir()) / ("emu-capture-" + std::to_string(getpid()));
  std::filesystem::remove(path);
  setenv("QVX_VG_CAPTURE", path.c_str(), 1);
  vg_.Reset();
  unsetenv("QVX_VG_CAPTURE");
  vg_.SetFlashFile("");
  SmallSession(host_);

  std::ifstream file(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);)
    lines.push_back(line);
  EXPECT_EQ(lines, kSmallSessionLines);

  vg_.Reset();  // stops mirroring
  host_.Open();
  std::ifstream again(path);
  size_t count = 0;
  for (std::string line; std::getline(again, line);)
    ++count;
  EXPECT_EQ(count, kSmallSessionLines.size());
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace qvx::test
