// The drivers Windows bound to FTDI devices, fed as SetupAPI's records: each device gets its own
// record by serial number, a device the D2XX library does not list (hidden by WinUSB) becomes one
// of its own, and other vendors' devices are left out.
#include <gtest/gtest.h>

#include "doctor/checks.h"
#include "doctor/windows_drivers.h"

namespace qvx::doctor {
namespace {

DeviceFacts Listed(std::string serial, std::string description) {
  DeviceFacts device;
  device.listed = ListedUnit{0, 5, 0x04036001, 0, std::move(serial), std::move(description)};
  return device;
}

TEST(WindowsDrivers, InstanceIdsAsWindowsWritesThem) {
  const auto generator = ParseInstanceId("USB\\VID_0403&PID_6001\\QVX00042");
  ASSERT_TRUE(generator);
  EXPECT_EQ(generator->vendor, 0x0403);
  EXPECT_EQ(generator->product, 0x6001);
  EXPECT_EQ(generator->serial, "QVX00042");
  const auto lower = ParseInstanceId("usb\\vid_0403&pid_fa33\\A1");
  ASSERT_TRUE(lower);
  EXPECT_EQ(lower->product, 0xFA33);
  // A device without a serial number is named by its place.
  const auto placed = ParseInstanceId("USB\\VID_0403&PID_6001\\5&1A2B3C4D&0&2");
  ASSERT_TRUE(placed);
  EXPECT_EQ(placed->serial, "");
  for (const char* other : {"FTDIBUS\\VID_0403+PID_6001+QVX00042A\\0000", "USB\\ROOT_HUB30\\4&1",
                            "USB\\VID_04X3&PID_6001\\Q", "USB\\VID_0403\\Q", ""}) {
    EXPECT_FALSE(ParseInstanceId(other)) << other;
  }
}

TEST(WindowsDrivers, EachDeviceGetsItsRecordAndAHiddenOneIsShownToo) {
  std::vector<DeviceFacts> devices{Listed("QVX00001", "QVX5120I1"),
                                   Listed("A50285BI", "FT232R USB UART")};
  AttachDriverRecords(
      devices,
      {{"USB\\VID_046D&PID_C52B\\5&2", "HidUsb", "Microsoft", "10.0", "Receiver"},
       {"USB\\VID_0403&PID_6001\\A50285BI", "FTDIBUS", "FTDI", "2.12.36.4", "FT232R USB UART"},
       {"USB\\VID_0403&PID_6001\\QVX00002", "WinUSB", "libwdi", "6.1.7600", "QVX5120I1"},
       {"USB\\VID_0403&PID_6001\\QVX00001", "FTDIBUS", "FTDI", "2.12.36.4", "QVX5120I1"}});
  ASSERT_EQ(devices.size(), 3u);
  ASSERT_TRUE(devices[0].windows_driver);
  EXPECT_EQ(devices[0].windows_driver->instance_id, "USB\\VID_0403&PID_6001\\QVX00001");
  EXPECT_EQ(devices[0].windows_driver->service, "FTDIBUS");
  ASSERT_TRUE(devices[1].windows_driver);
  EXPECT_EQ(devices[1].windows_driver->serial, "A50285BI");
  // The unit WinUSB hides from D2XX: a generator all the same, not listed.
  const DeviceFacts& hidden = devices[2];
  EXPECT_FALSE(hidden.listed);
  EXPECT_TRUE(hidden.generator());
  EXPECT_EQ(hidden.serial(), "QVX00002");

  Facts facts;
  facts.platform = Platform::kWindows;
  facts.library.kind = LibraryKind::kFtdi;
  facts.library.complete = true;
  facts.devices = devices;
  const Check present = CheckPresent(facts.devices[2], facts);
  EXPECT_FALSE(present.ok);
  EXPECT_EQ(present.text,
            "Windows sees it (USB\\VID_0403&PID_6001\\QVX00002), but the driver library does not "
            "list it");
  EXPECT_EQ(present.fix,
            "FTDI's library does not see a device Windows gave another driver: see kernel-driver");
  EXPECT_FALSE(CheckKernelDriver(facts.devices[2], facts).ok);
  EXPECT_TRUE(CheckKernelDriver(facts.devices[0], facts).ok);
  EXPECT_EQ(WhyNotOpen(facts.devices[2], facts), "the driver library does not list it");
}

}  // namespace
}  // namespace qvx::doctor
