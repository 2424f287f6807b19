// The texts of the system the doctor reads by hand, on what udev and the kernel write: a device's
// record in udev's database, the record's file name, and the enumeration trouble in the kernel's
// log.
#include <gtest/gtest.h>

#include "doctor/system_text.h"

namespace qvx::doctor {
namespace {

TEST(UdevDatabase, PropertiesAndTagsAsUdevWritesThem) {
  // A record as systemd-udevd 252 writes it for the generator once the package's rule applied.
  const UdevFacts facts = ParseUdevDatabase(
      "I:3456789012\n"
      "E:ID_VENDOR=FTDI\n"
      "E:ID_MODEL=QVX5120I1\n"
      "E:QVX5120_GENERATOR=1\n"
      "E:ID_PATH=pci-0000:00:14.0-usb-0:4.2\n"
      "G:uaccess\n"
      "G:seat\n"
      "Q:uaccess\n"
      "Q:seat\n"
      "V:1\n");
  EXPECT_TRUE(facts.found);
  EXPECT_EQ(facts.tags, (std::vector<std::string>{"uaccess", "seat"}));
  EXPECT_EQ(facts.properties,
            (std::map<std::string, std::string>{{"ID_MODEL", "QVX5120I1"},
                                                {"ID_PATH", "pci-0000:00:14.0-usb-0:4.2"},
                                                {"ID_VENDOR", "FTDI"},
                                                {"QVX5120_GENERATOR", "1"}}));
}

TEST(UdevDatabase, LinesItDoesNotKnowAreSkipped) {
  const UdevFacts facts = ParseUdevDatabase("E:=no key\r\nE:NOEQUALS\nX\nG:\nE:A=b=c\r\nW:3\nG:t");
  EXPECT_EQ(facts.tags, std::vector<std::string>{"t"});
  EXPECT_EQ(facts.properties, (std::map<std::string, std::string>{{"A", "b=c"}}));
}

TEST(UdevDatabase, TheRecordOfAUsbDeviceIsNamedByBusAndAddress) {
  // usbfs's devices are major 189, minor (bus - 1) * 128 + address - 1.
  EXPECT_EQ(UdevDataName(1, 1), "c189:0");
  EXPECT_EQ(UdevDataName(1, 7), "c189:6");
  EXPECT_EQ(UdevDataName(3, 12), "c189:267");
  EXPECT_EQ(UdevDataName(0, 7), "");
  EXPECT_EQ(UdevDataName(1, 0), "");
  EXPECT_EQ(UdevDataName(1, 129), "");
}

TEST(KernelLog, EnumerationTroubleByPort) {
  const std::string log =
      "<6>[    2.104512] usb 1-4: new high-speed USB device number 3 using xhci_hcd\n"
      "<3>[   12.345678] usb 1-4.2: device descriptor read/64, error -71\n"
      "<3>[   12.901234] usb 1-4.2: device not accepting address 9, error -71\n"
      "<6>[   13.5] ftdi_sio 1-4.3:1.0: FTDI USB Serial Device converter detected\n"
      "<3>[   20.000001] usb 2-1: over-current condition\n"
      "<4>[   21.1] usb 2-1.1: rejected 1 configuration due to insufficient available bus power\n"
      "[   22.0] usb usb3-port2: over-current condition\n"
      "[   23.0] usb 1-4-port3: over-current change\n"
      "[   24.0] usb 1-4-portx: over-current change\n"
      "<3>[   30.0] usb 1-4.2:1.0: something about an interface, error -71\n"
      "garbage without a time stamp, error -71\n";
  const auto trouble = EnumerationTrouble(log);
  EXPECT_EQ(trouble, (std::map<std::string, std::vector<std::string>>{
                         {"1-4.2",
                          {"usb 1-4.2: device descriptor read/64, error -71",
                           "usb 1-4.2: device not accepting address 9, error -71",
                           "usb 1-4.2:1.0: something about an interface, error -71"}},
                         {"1-4.3", {"usb 1-4-port3: over-current change"}},
                         {"2-1", {"usb 2-1: over-current condition"}},
                         {"2-1.1",
                          {"usb 2-1.1: rejected 1 configuration due to insufficient available "
                           "bus power"}},
                         {"3-2", {"usb usb3-port2: over-current condition"}}}));
  EXPECT_EQ(KernelMessage("<6>[    2.104512] usb 1-4: new"), "usb 1-4: new");
  EXPECT_EQ(KernelMessage("plain line"), "plain line");
}

}  // namespace
}  // namespace qvx::doctor
