// The device information list of QVX_VG_UNITS's units, as a station reads it: each unit at port
// path 1-n (2-1 from the 16th on), a snapshot taken by FT_CreateDeviceInfoList and read by
// FT_GetDeviceInfoDetail, and FT_OpenEx by the location id it gives.
#include <cstdlib>
#include <set>

#include "tests/emulator/emu_fixture.h"

namespace qvx::test {
namespace {

using EmuDeviceList = EmuTest;

constexpr d2xx::Dword kType232R = 5;
constexpr d2xx::Dword kFtdiFt245r = 0x04036001;

TEST_F(EmuDeviceList, EachUnitIsListedAtItsPortPath) {
  struct Row {
    size_t unit;  // 1-based
    const char* serial;
    d2xx::Dword location;  // one hex digit per level: bus, port
  };
  // Port paths 1-1 ... 1-15, then 2-1 ... 2-15, 3-1, ...: the location ids written out by hand.
  const Row rows[] = {{1, "QVX00001", 0x11},  {2, "QVX00002", 0x12},  {15, "QVX00015", 0x1F},
                      {16, "QVX00016", 0x21}, {30, "QVX00030", 0x2F}, {31, "QVX00031", 0x31},
                      {64, "QVX00064", 0x54}};
  vg_.SetUnits(64);
  const auto listed = host_.List();
  ASSERT_EQ(listed.size(), 64u);
  for (const Row& row : rows) {
    const auto& entry = listed[row.unit - 1];
    EXPECT_EQ(entry.serial, row.serial) << row.unit;
    EXPECT_EQ(entry.location, row.location) << row.unit;
    EXPECT_EQ(entry.flags, 0u) << row.unit;
    EXPECT_EQ(entry.type, kType232R) << row.unit;
    EXPECT_EQ(entry.id, kFtdiFt245r) << row.unit;
    EXPECT_EQ(entry.description, kDescription) << row.unit;
    EXPECT_NE(entry.handle, nullptr) << row.unit << ": the attachment token";
  }
  std::set<d2xx::Handle> tokens;
  for (const auto& entry : listed)
    tokens.insert(entry.handle);
  EXPECT_EQ(tokens.size(), 64u) << "a token of its own for every plug";
  EXPECT_EQ(host_.ListedSerials().size(), 64u) << "FT_ListDevices lists the same units";
}

TEST_F(EmuDeviceList, OpenByLocationOpensThatUnitOnly) {
  vg_.SetUnits(3);
  struct Row {
    d2xx::Dword location;
    d2xx::Status status;
  };
  const Row rows[] = {{0x12, d2xx::FT_OK},
                      {0x12, d2xx::FT_DEVICE_NOT_OPENED},  // already open
                      {0x14, d2xx::FT_DEVICE_NOT_FOUND},
                      {0x21, d2xx::FT_DEVICE_NOT_FOUND},
                      {0x1, d2xx::FT_DEVICE_NOT_FOUND},
                      {0, d2xx::FT_DEVICE_NOT_FOUND}};
  d2xx::Handle first = nullptr;
  for (const Row& row : rows) {
    d2xx::Handle handle = nullptr;
    EXPECT_EQ(host_.OpenAt(row.location, &handle), row.status) << std::hex << row.location;
    if (row.status == d2xx::FT_OK)
      first = handle;
    else
      EXPECT_EQ(handle, nullptr);
  }
  ASSERT_NE(first, nullptr);
  // The handle reaches unit 2: its wire gets the byte, unit 1's does not.
  host_.handle = first;
  ASSERT_EQ(host_.Write({kBeginLoad}), d2xx::FT_OK);
  ASSERT_TRUE(vg_.SelectUnit(1));
  EXPECT_EQ(VirtualGenerator::Hex(vg_.Wire()), "F0");
  EXPECT_EQ(vg_.Calls(), (std::vector<std::string>{"FT_OpenEx 0x12 4 -> 0", "FT_OpenEx 0x12 4 -> 3",
                                                   "FT_Write F0 -> 0 1"}));
  ASSERT_TRUE(vg_.SelectUnit(0));
  EXPECT_TRUE(vg_.Wire().empty());
}

TEST_F(EmuDeviceList, TheListIsASnapshotWithTheOpenFlagAndToken) {
  vg_.SetUnits(2);
  const d2xx::Handle token = host_.List().at(1).handle;
  d2xx::Handle handle = nullptr;
  ASSERT_EQ(host_.OpenAt(0x12, &handle), d2xx::FT_OK);
  auto listed = host_.List();
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].flags, 0u);
  EXPECT_EQ(listed[1].flags, d2xx::FT_FLAGS_OPENED);
  EXPECT_EQ(listed[1].handle, token);

  ASSERT_EQ(host_.FT_Close(handle), d2xx::FT_OK);
  // Until the next FT_CreateDeviceInfoList, the details are the snapshot's.
  d2xx::Dword flags = 99, type = 0, id = 0, location = 0;
  char serial[16] = {}, description[64] = {};
  d2xx::Handle listed_handle = nullptr;
  ASSERT_EQ(host_.FT_GetDeviceInfoDetail(1, &flags, &type, &id, &location, serial, description,
                                         &listed_handle),
            d2xx::FT_OK);
  EXPECT_EQ(flags, d2xx::FT_FLAGS_OPENED);
  EXPECT_EQ(listed_handle, token);
  listed = host_.List();
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[1].flags, 0u);
  EXPECT_EQ(listed[1].handle, token);
}

TEST_F(EmuDeviceList, RefusedArgumentsAndIndexes) {
  vg_.SetUnits(2);
  d2xx::Dword flags = 0, type = 0, id = 0, location = 0;
  char serial[16] = {}, description[64] = {};
  d2xx::Handle handle = nullptr;
  // Before any list is made there is no entry.
  EXPECT_EQ(
      host_.FT_GetDeviceInfoDetail(0, &flags, &type, &id, &location, serial, description, &handle),
      d2xx::FT_DEVICE_NOT_FOUND);
  EXPECT_EQ(host_.FT_CreateDeviceInfoList(nullptr), d2xx::FT_INVALID_PARAMETER);
  d2xx::Dword count = 0;
  ASSERT_EQ(host_.FT_CreateDeviceInfoList(&count), d2xx::FT_OK);
  ASSERT_EQ(count, 2u);

  struct Row {
    d2xx::Dword index;
    int null_argument;  // 0 to 6: flags, type, id, location, serial, description, handle; -1 none
    d2xx::Status status;
  };
  const Row rows[] = {{1, -1, d2xx::FT_OK},
                      {2, -1, d2xx::FT_DEVICE_NOT_FOUND},
                      {0xFFFFFFFF, -1, d2xx::FT_DEVICE_NOT_FOUND},
                      {0, 0, d2xx::FT_INVALID_PARAMETER},
                      {0, 1, d2xx::FT_INVALID_PARAMETER},
                      {0, 2, d2xx::FT_INVALID_PARAMETER},
                      {0, 3, d2xx::FT_INVALID_PARAMETER},
                      {0, 4, d2xx::FT_INVALID_PARAMETER},
                      {0, 5, d2xx::FT_INVALID_PARAMETER},
                      {0, 6, d2xx::FT_INVALID_PARAMETER}};
  for (const Row& row : rows) {
    const auto arg = [&](int n, auto* pointer) {
      return row.null_argument == n ? nullptr : pointer;
    };
    EXPECT_EQ(host_.FT_GetDeviceInfoDetail(row.index, arg(0, &flags), arg(1, &type), arg(2, &id),
                                           arg(3, &location), arg(4, serial), arg(5, description),
                                           arg(6, &handle)),
              row.status)
        << row.index << " null " << row.null_argument;
  }
}

TEST_F(EmuDeviceList, TheCallsAreInUnitOnesCaptureLog) {
  vg_.SetUnits(2);
  d2xx::Dword count = 0;
  ASSERT_EQ(host_.FT_CreateDeviceInfoList(&count), d2xx::FT_OK);
  d2xx::Dword flags = 0, type = 0, id = 0, location = 0;
  char serial[16] = {}, description[64] = {};
  d2xx::Handle handle = nullptr;
  host_.FT_GetDeviceInfoDetail(1, &flags, &type, &id, &location, serial, description, &handle);
  host_.FT_GetDeviceInfoDetail(5, &flags, &type, &id, &location, serial, description, &handle);
  EXPECT_EQ(vg_.Calls(), (std::vector<std::string>{"FT_CreateDeviceInfoList -> 0 2",
                                                   "FT_GetDeviceInfoDetail 1 -> 0 0 0x12 QVX00002",
                                                   "FT_GetDeviceInfoDetail 5 -> 2"}));
}

TEST_F(EmuDeviceList, AUnitFailingToOpenIsNotListed) {
  setenv("QVX_VG_FAULT_UNIT", "QVX00002", 1);
  setenv("QVX_VG_FAIL_OPEN", "1", 1);
  vg_.SetUnits(3);
  unsetenv("QVX_VG_FAIL_OPEN");
  unsetenv("QVX_VG_FAULT_UNIT");
  const auto listed = host_.List();
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].serial, "QVX00001");
  EXPECT_EQ(listed[1].serial, "QVX00003");
  EXPECT_EQ(listed[1].location, 0x13u);
  d2xx::Handle handle = nullptr;
  EXPECT_EQ(host_.OpenAt(0x12, &handle), d2xx::FT_DEVICE_NOT_FOUND);
}

}  // namespace
}  // namespace qvx::test
