// Opening the generator: by its description through FT_OpenEx flag 2 (by serial number, flag 1, in
// the command-line tool tests), and the status every other call gets with a handle that is not the
// open one.
#include <cstdlib>

#include "tests/emulator/emu_fixture.h"

namespace qvx::test {
namespace {

using EmuOpen = EmuTest;

TEST_F(EmuOpen, OpensOnlyByItsDescriptionWithFlagTwo) {
  d2xx::Handle sentinel = reinterpret_cast<d2xx::Handle>(0x1234);
  d2xx::Handle handle = sentinel;
  char wrong_text[] = "QVX5120I2";
  char right_text[] = "QVX5120I1";
  char prefix[] = "QVX5120I";
  EXPECT_EQ(host_.FT_OpenEx(wrong_text, 2, &handle), d2xx::FT_DEVICE_NOT_FOUND);
  EXPECT_EQ(host_.FT_OpenEx(prefix, 2, &handle), d2xx::FT_DEVICE_NOT_FOUND);
  EXPECT_EQ(host_.FT_OpenEx(right_text, 1, &handle), d2xx::FT_DEVICE_NOT_FOUND);
  EXPECT_EQ(host_.FT_OpenEx(nullptr, 2, &handle), d2xx::FT_DEVICE_NOT_FOUND);
  EXPECT_EQ(handle, sentinel);

  EXPECT_EQ(host_.FT_OpenEx(right_text, 2, &handle), d2xx::FT_OK);
  EXPECT_NE(handle, sentinel);
  EXPECT_NE(handle, nullptr);
  EXPECT_EQ(vg_.Calls(), (std::vector<std::string>{
                             "FT_OpenEx QVX5120I2 2 -> 2",
                             "FT_OpenEx QVX5120I 2 -> 2",
                             "FT_OpenEx QVX5120I1 1 -> 2",
                             "FT_OpenEx (null) 2 -> 2",
                             "FT_OpenEx QVX5120I1 2 -> 0",
                         }));
}

TEST_F(EmuOpen, FailOpenFaultRefusesTheRightDescription) {
  vg_.SetOption("fail_open", 1);
  d2xx::Handle handle = nullptr;
  char text[] = "QVX5120I1";
  EXPECT_EQ(host_.FT_OpenEx(text, 2, &handle), d2xx::FT_DEVICE_NOT_FOUND);
  EXPECT_EQ(host_.FT_Open(0, &handle), d2xx::FT_DEVICE_NOT_FOUND);
  EXPECT_EQ(handle, nullptr);
  vg_.SetOption("fail_open", 0);
  EXPECT_EQ(host_.FT_OpenEx(text, 2, &handle), d2xx::FT_OK);
}

TEST_F(EmuOpen, FailOpenFromTheEnvironmentAtReset) {
  setenv("QVX_VG_FAIL_OPEN", "1", 1);
  vg_.Reset();
  EXPECT_EQ(host_.Open(), d2xx::FT_DEVICE_NOT_FOUND);
  unsetenv("QVX_VG_FAIL_OPEN");
  EXPECT_EQ(host_.Open(), d2xx::FT_DEVICE_NOT_FOUND) << "the environment is read only at reset";
  vg_.Reset();
  EXPECT_EQ(host_.Open(), d2xx::FT_OK);
}

TEST_F(EmuOpen, OpenByIndexZeroAndSecondOpenWhileOpen) {
  d2xx::Handle handle = nullptr;
  EXPECT_EQ(host_.FT_Open(1, &handle), d2xx::FT_DEVICE_NOT_FOUND);
  EXPECT_EQ(host_.FT_Open(0, &handle), d2xx::FT_OK);
  ASSERT_NE(handle, nullptr);
  d2xx::Handle second = nullptr;
  EXPECT_EQ(host_.Open(), d2xx::FT_DEVICE_NOT_OPENED);
  EXPECT_EQ(host_.FT_Open(0, &second), d2xx::FT_DEVICE_NOT_OPENED);
  EXPECT_EQ(host_.FT_Close(handle), d2xx::FT_OK);
  EXPECT_EQ(host_.FT_Close(handle), d2xx::FT_INVALID_HANDLE);
  EXPECT_EQ(host_.Open(), d2xx::FT_OK);
}

TEST_F(EmuOpen, ListDevicesCountsOneGenerator) {
  d2xx::Dword count = 0;
  EXPECT_EQ(host_.FT_ListDevices(&count, nullptr, 0x80000000u), d2xx::FT_OK);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(vg_.Calls(), std::vector<std::string>{"FT_ListDevices 2147483648 -> 0"});
}

TEST_F(EmuOpen, FaultUnitLimitsTheFaultsToThatUnitAndTheListingSkipsAnAbsentOne) {
  setenv("QVX_VG_FAULT_UNIT", "QVX00002", 1);
  setenv("QVX_VG_FAIL_OPEN", "1", 1);
  vg_.SetUnits(3);
  unsetenv("QVX_VG_FAIL_OPEN");
  unsetenv("QVX_VG_FAULT_UNIT");
  d2xx::Dword count = 0;
  EXPECT_EQ(host_.FT_ListDevices(&count, nullptr, d2xx::FT_LIST_NUMBER_ONLY), d2xx::FT_OK);
  EXPECT_EQ(count, 2u);
  // By index: the index itself in the first argument, a 64-character buffer in the second.
  std::vector<std::string> listed;
  for (uintptr_t index = 0; index <= count; ++index) {
    char text[64] = "untouched";
    const d2xx::Status st =
        host_.FT_ListDevices(reinterpret_cast<void*>(index), text,
                             d2xx::FT_LIST_BY_INDEX | d2xx::FT_OPEN_BY_SERIAL_NUMBER);
    listed.push_back(std::to_string(st) + " " + text);
  }
  EXPECT_EQ(listed, (std::vector<std::string>{"0 QVX00001", "0 QVX00003", "2 untouched"}));

  char second[] = "QVX00002", third[] = "QVX00003";
  d2xx::Handle handle = nullptr;
  EXPECT_EQ(host_.FT_OpenEx(second, d2xx::FT_OPEN_BY_SERIAL_NUMBER, &handle),
            d2xx::FT_DEVICE_NOT_FOUND);
  EXPECT_EQ(host_.FT_OpenEx(third, d2xx::FT_OPEN_BY_SERIAL_NUMBER, &handle), d2xx::FT_OK);
  EXPECT_EQ(host_.Open(), d2xx::FT_OK) << "unit 1 is not faulted";
  EXPECT_NE(handle, host_.handle);
}

TEST_F(EmuOpen, CallsWithAHandleThatIsNotOpenAreRefusedButLogged) {
  uint8_t byte = kEndLoad;
  d2xx::Dword n = 99;
  EXPECT_EQ(host_.FT_Write(nullptr, &byte, 1, &n), d2xx::FT_INVALID_HANDLE);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(host_.FT_SetTimeouts(nullptr, 100, 0), d2xx::FT_INVALID_HANDLE);
  EXPECT_EQ(host_.FT_ResetDevice(nullptr), d2xx::FT_INVALID_HANDLE);
  EXPECT_EQ(host_.FT_Purge(nullptr, 1), d2xx::FT_INVALID_HANDLE);
  EXPECT_EQ(host_.FT_GetQueueStatus(nullptr, &n), d2xx::FT_INVALID_HANDLE);
  EXPECT_EQ(host_.FT_Read(nullptr, &byte, 1, &n), d2xx::FT_INVALID_HANDLE);
  EXPECT_EQ(host_.FT_Close(nullptr), d2xx::FT_INVALID_HANDLE);

  ASSERT_EQ(host_.Open(), d2xx::FT_OK);
  d2xx::Handle stale = static_cast<uint8_t*>(host_.handle) + 1;
  EXPECT_EQ(host_.FT_Write(stale, &byte, 1, &n), d2xx::FT_INVALID_HANDLE);

  EXPECT_TRUE(vg_.Wire().empty());
  EXPECT_EQ(vg_.Calls(), (std::vector<std::string>{
                             "FT_Write FF -> 1 0",
                             "FT_SetTimeouts 100 0 -> 1",
                             "FT_ResetDevice -> 1",
                             "FT_Purge 1 -> 1",
                             "FT_GetQueueStatus -> 1 0",
                             "FT_Read 1 -> 1 0",
                             "FT_Close -> 1",
                             "FT_OpenEx QVX5120I1 2 -> 0",
                             "FT_Write FF -> 1 0",
                         }));
}

}  // namespace
}  // namespace qvx::test
