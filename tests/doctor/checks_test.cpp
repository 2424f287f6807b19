// The checks as functions of what the doctor found: one table, each row a unit as a real desk
// has it, changed in one input from a generator that passes everything, and the one check that
// input decides, with its verdict, its words and its fix written out.
#include <gtest/gtest.h>

#include <functional>

#include "doctor/checks.h"

namespace qvx::doctor {
namespace {

// A generator at USB port 1-4.2 behind a hub, the open library, the package's rule applied, ana
// in the group, nothing else holding it, opened in 40 ms.
Facts Passing() {
  Facts facts;
  facts.platform = Platform::kLinux;
  facts.library.kind = LibraryKind::kOpen;
  facts.library.search.tried = {
      {"libftd2xx.so", "libftd2xx.so: cannot open shared object file: No such file or directory"},
      {"/usr/bin/../lib/x86_64-linux-gnu/qvx5120/libftd2xx.so", ""}};
  facts.library.search.loaded = "/usr/lib/x86_64-linux-gnu/qvx5120/libftd2xx.so";
  facts.library.version = 0x00010000;
  facts.library.complete = true;
  facts.library.lists = true;

  DeviceFacts device;
  UsbFacts usb;
  usb.port = "1-4.2";
  usb.vendor = 0x0403;
  usb.product = 0x6001;
  usb.bcd_device = 0x0600;
  usb.product_string = "QVX5120I1";
  usb.serial = "QVX00042";
  usb.speed = "12";
  usb.hubs = {{"usb1", 0x1d6b, 0x0002, "xHCI Host Controller"},
              {"1-4", 0x05e3, 0x0610, "USB2.0 Hub"}};
  usb.interface_name = "1-4.2:1.0";
  device.usb = usb;
  device.listed = ListedUnit{0, 5, 0x04036001, 0x142, "QVX00042", "QVX5120I1"};
  device.node =
      NodeFacts{"/dev/bus/usb/001/007", true, "root", "qvx5120", 0660, "u:ana:rw-,m::rw-", true};
  device.udev = UdevFacts{true, {"uaccess", "seat"}, {{"QVX5120_GENERATOR", "1"}}};
  device.open.tried = true;
  device.open.connected = true;
  device.open.took = std::chrono::milliseconds(40);
  device.open.latency_ms = 2;
  facts.devices.push_back(device);
  facts.user = {"ana", false, {"ana", "qvx5120"}, {"ana", "qvx5120"}};
  facts.udev_rules = {"/usr/lib/udev/rules.d/60-qvx5120.rules"};
  return facts;
}

DeviceFacts& Unit(Facts& facts) {
  return facts.devices.front();
}

// The generator's record as Windows keeps it, with the driver it bound.
WindowsDriverFacts Bound(std::string service, std::string provider, std::string version) {
  WindowsDriverFacts driver;
  driver.instance_id = "USB\\VID_0403&PID_6001\\QVX00042";
  driver.service = std::move(service);
  driver.provider = std::move(provider);
  driver.version = std::move(version);
  return driver;
}

struct Row {
  const char* name;
  std::function<void(Facts&)> change;
  const char* check;
  bool ok;
  std::string text;
  std::string fix;
};

const char* const kUnbind = "echo -n 1-4.2:1.0 | sudo tee /sys/bus/usb/drivers/ftdi_sio/unbind";
const char* const kTrigger =
    "sudo udevadm control --reload-rules && sudo udevadm trigger --subsystem-match=usb "
    "--attr-match=idVendor=0403 (or plug the generator in again)";
const char* const kNode = "/dev/bus/usb/001/007: owner root, group qvx5120, mode 0660, ACL ";

std::vector<Row> Rows() {
  const auto nothing = [](Facts&) {};
  const auto denied = [](Facts& f) { Unit(f).node->can_open = false; };
  const auto ftdi_sio = [](Facts& f) {
    Unit(f).usb->driver = "ftdi_sio";
    Unit(f).usb->ttys = {"ttyUSB0"};
  };
  const std::string granted = std::string(kNode) + "u:ana:rw-,m::rw-; ana may open it";
  const std::string refused = std::string(kNode) + "u:ana:rw-,m::rw-; ana may not open it";
  return {
      {"the library", nothing, "library", true,
       "the open library (over libftdi1), /usr/lib/x86_64-linux-gnu/qvx5120/libftd2xx.so, "
       "version 1.00.00",
       ""},
      {"no library loads",
       [](Facts& f) {
         f.library.kind = LibraryKind::kNone;
         f.library.search.loaded.clear();
         f.library.search.tried[1].error =
             "/usr/bin/../lib/x86_64-linux-gnu/qvx5120/libftd2xx.so: "
             "cannot open shared object file: No such file or "
             "directory";
       },
       "library", false,
       "no driver library loads; tried: libftd2xx.so (libftd2xx.so: cannot open shared object "
       "file: No such file or directory); /usr/bin/../lib/x86_64-linux-gnu/qvx5120/libftd2xx.so "
       "(/usr/bin/../lib/x86_64-linux-gnu/qvx5120/libftd2xx.so: cannot open shared object file: "
       "No such file or directory)",
       "install FTDI's D2XX library (libftd2xx.so on the library search path, then ldconfig), or "
       "the qvx5120 package, which brings the open library"},
      {"a library without FT_Purge",
       [](Facts& f) {
         f.library.kind = LibraryKind::kFtdi;
         f.library.complete = false;
         f.library.version.reset();
       },
       "library", false,
       "FTDI's D2XX library, /usr/lib/x86_64-linux-gnu/qvx5120/libftd2xx.so, version not "
       "reported; it lacks entry points the programs bind",
       "the library lacks entry points the programs need: install FTDI's current D2XX library, or "
       "the qvx5120 package's open library"},
      {"one generator", nothing, "search", true, "1 generator, no other FTDI device", ""},
      {"none, and trouble logged on a port",
       [](Facts& f) {
         f.devices.clear();
         f.kernel_trouble = {"usb 1-4.3: device descriptor read/64, error -71"};
       },
       "search", false,
       "no generator found, no other FTDI device; the kernel logged \"usb 1-4.3: device "
       "descriptor read/64, error -71\"",
       "plug the generator in (and power it), then run qvx5120-doctor again; a unit the system "
       "does not see at all needs another cable, port or a powered hub"},
      {"seen and listed", nothing, "present", true,
       "USB port 1-4.2, 0403:6001 \"QVX5120I1\", serial \"QVX00042\", 12 Mbit/s, behind the hub "
       "at 1-4 (05e3:0610 \"USB2.0 Hub\"); listed by the driver library",
       ""},
      {"seen after a bad enumeration",
       [](Facts& f) { Unit(f).kernel_log = {"usb 1-4.2: device descriptor read/64, error -71"}; },
       "present", true,
       "USB port 1-4.2, 0403:6001 \"QVX5120I1\", serial \"QVX00042\", 12 Mbit/s, behind the hub "
       "at 1-4 (05e3:0610 \"USB2.0 Hub\"); listed by the driver library; the kernel logged "
       "\"usb 1-4.2: device descriptor read/64, error -71\"",
       ""},
      {"seen, not listed", [](Facts& f) { Unit(f).listed.reset(); }, "present", false,
       "the system sees it at USB port 1-4.2, but the driver library does not list it",
       "unplug the generator and plug it in again"},
      {"seen, not listed by FTDI's library under ftdi_sio",
       [&](Facts& f) {
         Unit(f).listed.reset();
         f.library.kind = LibraryKind::kFtdi;
         ftdi_sio(f);
       },
       "present", false,
       "the system sees it at USB port 1-4.2, but the driver library does not list it",
       "FTDI's library does not see a unit while ftdi_sio holds it: see kernel-driver"},
      {"seen, not listed, no access",
       [&](Facts& f) {
         Unit(f).listed.reset();
         denied(f);
       },
       "present", false,
       "the system sees it at USB port 1-4.2, but the driver library does not list it",
       "see access: this user may not open it"},
      {"an FTDI serial adapter",
       [](Facts& f) {
         Unit(f).usb->product_string = "FT232R USB UART";
         Unit(f).usb->serial = "A50285BI";
       },
       "present", true,
       "an FTDI device that is not a generator (product string \"FT232R USB UART\", serial "
       "\"A50285BI\"): left alone, never opened",
       ""},
      {"no kernel driver", nothing, "kernel-driver", true,
       "no kernel driver is bound to its interface 1-4.2:1.0", ""},
      {"ftdi_sio before FTDI's library",
       [&](Facts& f) {
         f.library.kind = LibraryKind::kFtdi;
         ftdi_sio(f);
       },
       "kernel-driver", false,
       "ftdi_sio is bound to its interface 1-4.2:1.0 (ttyUSB0): FTDI's library cannot open the "
       "unit while it is",
       std::string(kUnbind) +
           "; the project's udev rule does this at every plug (see access for whether it is "
           "installed)"},
      {"ftdi_sio before the open library", ftdi_sio, "kernel-driver", true,
       "ftdi_sio is bound to its interface 1-4.2:1.0 (ttyUSB0); not in the way of the open "
       "library, which detaches it when a load opens the unit",
       ""},
      {"ftdi_sio: the doctor does not take it", ftdi_sio, "opens", false,
       "not tried: the kernel's ftdi_sio holds it, and the doctor takes no device from the "
       "kernel's driver (see kernel-driver)",
       std::string(kUnbind) + ", or install the project's udev rule"},
      {"another kernel driver", [](Facts& f) { Unit(f).usb->driver = "usb-storage"; },
       "kernel-driver", false,
       "usb-storage is bound to its interface 1-4.2:1.0, which no generator needs",
       "echo -n 1-4.2:1.0 | sudo tee /sys/bus/usb/drivers/usb-storage/unbind"},
      {"may open", nothing, "access", true, granted + "; the project's udev rule was applied to it",
       ""},
      {"no rule installed",
       [&](Facts& f) {
         denied(f);
         f.udev_rules.clear();
         Unit(f).udev->properties.clear();
       },
       "access", false, refused,
       std::string("the project's udev rule (60-qvx5120.rules) is not installed: install the "
                   "qvx5120 package, or copy packaging/60-qvx5120.rules to /etc/udev/rules.d, "
                   "then: ") +
           kTrigger},
      {"rule installed, not applied",
       [&](Facts& f) {
         denied(f);
         Unit(f).udev->properties.clear();
       },
       "access", false, refused,
       std::string("udev has not applied /usr/lib/udev/rules.d/60-qvx5120.rules to this device: ") +
           kTrigger},
      {"not in the group",
       [&](Facts& f) {
         denied(f);
         f.user.member_of = {"ana"};
         f.user.session_groups = {"ana"};
       },
       "access", false, refused,
       "join the group qvx5120: sudo usermod -aG qvx5120 ana, then log out and in again (a "
       "service: SupplementaryGroups=qvx5120)"},
      {"joined after the session began",
       [&](Facts& f) {
         denied(f);
         f.user.session_groups = {"ana"};
       },
       "access", false, refused,
       "you joined qvx5120 after this session began: log out and in again (or start a shell with "
       "newgrp qvx5120)"},
      {"no device node", [](Facts& f) { Unit(f).node->exists = false; }, "access", false,
       "its device node /dev/bus/usb/001/007 is missing",
       "/dev/bus/usb is missing: mount devtmpfs on /dev (udev does on a normal system)"},
      {"no access: not opened", denied, "opens", false,
       "not tried: this user may not open it (see access)",
       "free the unit as the check named says, then run qvx5120-doctor again"},
      {"nobody holds it", nothing, "held", true, "no other program has it open", ""},
      {"ModemManager on its tty",
       [&](Facts& f) {
         ftdi_sio(f);
         Unit(f).holders.seen = {{612, "ModemManager", "/dev/ttyUSB0"}};
       },
       "held", false, "in use by ModemManager (pid 612, /dev/ttyUSB0)",
       "ModemManager probes serial ports it does not know: stop it (sudo systemctl stop "
       "ModemManager), or install the project's udev rule, which keeps ftdi_sio and so ttyUSB off "
       "the generator"},
      {"another loader",
       [](Facts& f) {
         Unit(f).usb->driver = "usbfs";
         Unit(f).holders.seen = {{4242, "qvx5120-load", "/dev/bus/usb/001/007"}};
       },
       "held", false, "in use by qvx5120-load (pid 4242, /dev/bus/usb/001/007)",
       "close qvx5120-load (or end it: kill 4242), then run qvx5120-doctor again"},
      {"marked opened, holder not visible",
       [](Facts& f) { Unit(f).listed->flags = d2xx::FT_FLAGS_OPENED; }, "held", false,
       "another program has it open (the driver's list marks it opened); which one is not "
       "visible to this user",
       "close the program that uses the generator (another qvx5120-load, qvx5120-station or the "
       "window, or a service), or run qvx5120-doctor as root to see which it is"},
      {"claimed through usbfs, holder not visible", [](Facts& f) { Unit(f).usb->driver = "usbfs"; },
       "held", false,
       "a program has claimed its interface through usbfs; which one is not visible to this user",
       "close the program that uses the generator (another qvx5120-load, qvx5120-station or the "
       "window, or a service), or run qvx5120-doctor as root to see which it is"},
      {"held: not opened", [](Facts& f) { Unit(f).listed->flags = d2xx::FT_FLAGS_OPENED; }, "opens",
       false, "not tried: another program has it (see held)",
       "free the unit as the check named says, then run qvx5120-doctor again"},
      {"an FT245R", nothing, "chip", true,
       "an FT232R/FT245R, product string \"QVX5120I1\", serial \"QVX00042\", latency timer 2 ms",
       ""},
      {"an FT232H", [](Facts& f) { Unit(f).listed->type = 8; }, "chip", false,
       "an FT232H, where the generator's bridge is an FT245R-type chip",
       "this is not the generator's bridge: the QVX5120 carries an FT245R-type chip"},
      {"a blank serial number",
       [](Facts& f) {
         Unit(f).usb->serial.clear();
         Unit(f).listed->serial.clear();
         Unit(f).open = {};
       },
       "chip", false,
       "an FT232R/FT245R, product string \"QVX5120I1\", serial \"\", latency timer not read (the "
       "unit was not opened); its EEPROM holds no serial number",
       "program a serial number of its own into the bridge's EEPROM (FTDI's FT_Prog); until then "
       "load it by its port (a station does) rather than with --unit"},
      {"a serial number shared",
       [](Facts& f) {
         DeviceFacts twin = Unit(f);
         twin.usb->port = "1-4.3";
         twin.listed->location = 0x143;
         f.devices.push_back(twin);
       },
       "chip", false,
       "an FT232R/FT245R, product string \"QVX5120I1\", serial \"QVX00042\", latency timer 2 ms; "
       "its serial number \"QVX00042\" is also the serial number of the unit at 1-4.3",
       "give each unit a serial number of its own in its EEPROM (FTDI's FT_Prog); until then a "
       "station loads them by port, and --unit cannot tell them apart"},
      {"opens", nothing, "opens", true,
       "opened and took the start-up bytes (reset, time-outs, purges, CMD_END_LOAD) in 40 ms; "
       "closed again",
       ""},
      {"refuses to open",
       [](Facts& f) {
         OpenFacts refused;
         refused.tried = true;
         refused.took = std::chrono::milliseconds(12);
         refused.messages = {"USB DEVICE not responding"};
         Unit(f).open = refused;
       },
       "opens", false, "it did not open (USB DEVICE not responding), after 12 ms",
       "if it was plugged in a moment ago, wait a few seconds and run qvx5120-doctor again; "
       "otherwise unplug it, plug it in again and look at the checks above"},
      {"Windows: FTDI's driver",
       [](Facts& f) {
         f.platform = Platform::kWindows;
         Unit(f).usb.reset();
         Unit(f).windows_driver = Bound("FTDIBUS", "FTDI", "2.12.36.4");
       },
       "kernel-driver", true, "Windows bound FTDIBUS to it (FTDI, 2.12.36.4)", ""},
      {"Windows: WinUSB put there by another tool",
       [](Facts& f) {
         f.platform = Platform::kWindows;
         Unit(f).usb.reset();
         Unit(f).windows_driver = Bound("WinUSB", "libwdi", "6.1");
       },
       "kernel-driver", false,
       "Windows bound WinUSB to it, not FTDI's driver (FTDIBUS): FTDI's D2XX library does not "
       "see it",
       "in Device Manager, uninstall the device and delete its driver software, then plug it in "
       "again so that Windows installs FTDI's driver (FTDIBUS); a tool such as Zadig put the other "
       "driver there"},
  };
}

void PrintTo(const Row& row, std::ostream* out) {
  *out << row.name;
}

class CheckTable : public ::testing::TestWithParam<Row> {};

TEST_P(CheckTable, OneInputDecidesOneCheck) {
  const Row& row = GetParam();
  Facts facts = Passing();
  row.change(facts);
  const Report report = Diagnose(facts);
  std::optional<Check> found;
  for (const Check& check : {report.library, report.search}) {
    if (check.check == row.check)
      found = check;
  }
  if (!report.devices.empty()) {
    for (const Check& check : report.devices.front().checks) {
      if (check.check == row.check)
        found = check;
    }
  }
  ASSERT_TRUE(found) << row.check << " did not run";
  EXPECT_EQ(found->ok, row.ok);
  EXPECT_EQ(found->text, row.text);
  EXPECT_EQ(found->fix, row.fix);
  if (!row.ok) {
    EXPECT_FALSE(report.ok()) << "a failed check fails the whole";
  }
}

INSTANTIATE_TEST_SUITE_P(Doctor, CheckTable, ::testing::ValuesIn(Rows()), [](const auto& info) {
  std::string name;
  for (char c : std::string(info.param.name))
    name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return name;
});

TEST(CheckOrder, AGeneratorGetsEveryCheckInOrderAndAnotherDeviceOnlyPresent) {
  Facts facts = Passing();
  DeviceFacts adapter = Unit(facts);
  adapter.usb->port = "1-3";
  adapter.usb->product_string = "FT232R USB UART";
  facts.devices.push_back(adapter);
  const Report report = Diagnose(facts);
  ASSERT_EQ(report.devices.size(), 2u);
  std::vector<std::string> names;
  for (const Check& check : report.devices[0].checks)
    names.push_back(check.check);
  EXPECT_EQ(names, (std::vector<std::string>{"present", "kernel-driver", "access", "held", "chip",
                                             "opens"}));
  ASSERT_EQ(report.devices[1].checks.size(), 1u);
  EXPECT_EQ(report.devices[1].checks[0].check, "present");
  EXPECT_FALSE(report.devices[1].generator);
  EXPECT_TRUE(report.ok()) << "a device that is no generator does not decide the verdict";
  // On Windows there is no device node to check.
  facts.platform = Platform::kWindows;
  names.clear();
  const Report windows = Diagnose(facts);
  for (const Check& check : windows.devices[0].checks)
    names.push_back(check.check);
  EXPECT_EQ(names, (std::vector<std::string>{"present", "kernel-driver", "held", "chip", "opens"}));
}

}  // namespace
}  // namespace qvx::doctor
