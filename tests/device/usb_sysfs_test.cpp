// USB devices read from sysfs as the kernel lays it out, here a made-up tree: the ids, strings,
// speed, bus number and address of each device, the driver and ttys of its interface, and the
// hubs above it; and the parsers of sysfs's number formats on what the kernel writes and on what
// it never writes.
#include <gtest/gtest.h>

#include "device/usb_sysfs.h"
#include "tests/support/sysfs_tree.h"

namespace qvx::test {
namespace {

TEST(UsbSysfs, ReadsEachDeviceItsInterfaceAndTheHubsAboveIt) {
  SysfsTree tree("usb-sysfs");
  tree.Add(FakeHub("usb1", 0x1d6b, 0x0002, 1, "xHCI Host Controller"));
  tree.Add(FakeHub("1-4", 0x05e3, 0x0610, 3, "USB2.0 Hub"));
  FakeUsbDevice generator_seen = FakeFtdi("1-4.2", 7, "QVX5120I1", "QVX00042");
  generator_seen.driver = "ftdi_sio";
  generator_seen.ttys = {"ttyUSB0"};
  generator_seen.speed = "12";
  tree.Add(generator_seen);
  FakeUsbDevice blank_eeprom = FakeFtdi("1-4.3", 9, std::nullopt, std::nullopt);
  blank_eeprom.product = 0x6015;
  blank_eeprom.bcd_device = 0x1000;
  tree.Add(blank_eeprom);

  const auto devices = ListSysfsUsbDevices(tree.devices());
  ASSERT_EQ(devices.size(), 4u);
  EXPECT_EQ(devices[0].name, "1-4");
  EXPECT_EQ(devices[3].name, "usb1");
  const SysfsUsbDevice& generator = devices[1];
  EXPECT_EQ(generator.name, "1-4.2");
  EXPECT_EQ(generator.vendor, 0x0403);
  EXPECT_EQ(generator.product, 0x6001);
  EXPECT_EQ(generator.bcd_device, 0x0600);
  EXPECT_EQ(generator.bus, 1);
  EXPECT_EQ(generator.address, 7);
  EXPECT_EQ(generator.product_string, "QVX5120I1");
  EXPECT_EQ(generator.serial, "QVX00042");
  EXPECT_EQ(generator.speed, "12");
  ASSERT_EQ(generator.interfaces.size(), 1u);
  EXPECT_EQ(generator.interfaces[0].name, "1-4.2:1.0");
  EXPECT_EQ(generator.interfaces[0].driver, "ftdi_sio");
  EXPECT_EQ(generator.interfaces[0].ttys, (std::vector<std::string>{"ttyUSB0"}));
  EXPECT_EQ(devices[0].device_class, 9);

  const SysfsUsbDevice& blank = devices[2];
  EXPECT_EQ(blank.product_string, "");
  EXPECT_EQ(blank.serial, "");
  ASSERT_EQ(blank.interfaces.size(), 1u);
  EXPECT_EQ(blank.interfaces[0].driver, std::nullopt);

  EXPECT_EQ(ReadSysfsUsbDevice(tree.devices(), "1-4.9"), std::nullopt);
  EXPECT_EQ(ReadSysfsUsbDevice(tree.devices(), "1-4.2:1.0"), std::nullopt) << "an interface";
  EXPECT_EQ(HubPathsAbove("1-4.2.3"), (std::vector<std::string>{"usb1", "1-4", "1-4.2"}));
  EXPECT_EQ(HubPathsAbove("2-1"), (std::vector<std::string>{"usb2"}));
  EXPECT_EQ(HubPathsAbove("usb2"), std::vector<std::string>{});
}

TEST(UsbSysfs, NumbersAreTakenOnlyInTheFormsTheKernelWrites) {
  struct Row {
    const char* text;
    std::optional<uint16_t> word;
    std::optional<int> decimal;
  };
  const Row rows[] = {{"0403\n", 0x0403, 403},
                      {"FAF0", 0xFAF0, std::nullopt},
                      {"6001", 0x6001, 6001},
                      {"403\n", std::nullopt, 403},
                      {"04031", std::nullopt, 4031},
                      {"0x43", std::nullopt, std::nullopt},
                      {"", std::nullopt, std::nullopt},
                      {"  12\n", std::nullopt, 12},
                      {"65536", std::nullopt, std::nullopt},
                      {"-1", std::nullopt, std::nullopt},
                      {"04 3", std::nullopt, std::nullopt}};
  for (const Row& row : rows) {
    EXPECT_EQ(ParseHexWord(row.text), row.word) << '"' << row.text << '"';
    EXPECT_EQ(ParseDecimal(row.text), row.decimal) << '"' << row.text << '"';
  }
}

}  // namespace
}  // namespace qvx::test
