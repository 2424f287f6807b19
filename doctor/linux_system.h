// What Linux shows of the USB devices the doctor looks at, read without opening any of them:
// sysfs for the devices, their interfaces' drivers and ttys and the hubs above them; the usbfs
// node's owner, group, mode and ACL, and whether this user may open it; udev's database for the
// device; /proc for the processes that hold the node or the device's ttyUSB; the user database
// for this user's groups; the udev rule files; and the kernel's log where it is readable.
#pragma once

#include <string>
#include <vector>

#include "doctor/facts.h"

namespace qvx::doctor {

// Where each of these lives; tests point them into a tree of their own.
struct LinuxPaths {
  std::string sysfs_devices = "/sys/bus/usb/devices";
  std::string usbfs = "/dev/bus/usb";
  std::string dev = "/dev";
  std::string udev_data = "/run/udev/data";
  std::string proc = "/proc";
  // Where udev reads rules from, in its order of precedence.
  std::vector<std::string> rule_dirs = {"/etc/udev/rules.d", "/run/udev/rules.d",
                                        "/usr/local/lib/udev/rules.d", "/usr/lib/udev/rules.d",
                                        "/lib/udev/rules.d"};
};

// Every USB device with FTDI's vendor id or the generator's product string, as sysfs shows it,
// with its node, its udev record and the processes holding it.
std::vector<DeviceFacts> LinuxDevices(const LinuxPaths& paths);

UserFacts LinuxUser();

// The project's udev rule files that are installed.
std::vector<std::string> InstalledRules(const LinuxPaths& paths);

// The kernel's log, or nothing when this user may not read it.
std::optional<std::string> KernelLog();

}  // namespace qvx::doctor
