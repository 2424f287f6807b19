// What the doctor found, as plain data: the driver library the programs load and what it lists,
// each USB device with FTDI's vendor id or the generator's product string as the system shows it
// (sysfs, udev's database, its device node, the processes that hold it, the kernel's log on
// Linux; the driver Windows bound to it), this user, and what opening a free unit gave. The checks
// (checks.h) are functions of these facts alone, so that tests state the facts and read the
// verdicts; gathering them is the platforms' (library_probe.h, linux_system.h, windows_drivers.h).
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "device/d2xx.h"
#include "device/library_loader.h"

namespace qvx::doctor {

// FTDI's USB vendor id: the devices the doctor lists, whether generators or not.
inline constexpr uint16_t kVendorFtdi = 0x0403;

enum class LibraryKind {
  kNone,     // no library loaded
  kFtdi,     // FTDI's own D2XX library (or any other that is neither of ours)
  kOpen,     // this project's, over libftdi1
  kVirtual,  // the virtual generator
};

struct LibraryFacts {
  LoadReport search;  // every file tried, and the one that loaded
  LibraryKind kind = LibraryKind::kNone;
  std::optional<d2xx::Dword> version;  // FT_GetLibraryVersion, where the library has it
  bool complete = false;               // all ten entry points bound
  bool lists = false;                  // has the device information list
  std::vector<std::string> messages;   // what binding it said (a missing entry point)
};

// One entry of the library's device information list.
struct ListedUnit {
  d2xx::Dword flags = 0;
  d2xx::Dword type = 0;
  d2xx::Dword id = 0;  // vendor << 16 | product
  d2xx::Dword location = 0;
  std::string serial;
  std::string description;
};

struct HubFacts {
  std::string port;  // "1-4", or "usb1" for the bus's root hub
  uint16_t vendor = 0;
  uint16_t product = 0;
  std::string product_string;
};

// The usbfs node of a device (/dev/bus/usb/BBB/DDD) and what this user may do with it.
struct NodeFacts {
  std::string path;
  bool exists = false;
  std::string owner;
  std::string group;
  unsigned mode = 0;  // permission bits
  std::string acl;    // the entries beyond owner, group and other ("u:ana:rw-"); empty for none
  bool can_open = false;
};

// udev's record of a device (/run/udev/data/cMAJOR:MINOR).
struct UdevFacts {
  bool found = false;
  std::vector<std::string> tags;
  std::map<std::string, std::string> properties;
};

struct Holder {
  int pid = 0;
  std::string name;  // the process's command name
  std::string node;  // what it holds open: the usbfs node or a ttyUSB device
};

struct HolderFacts {
  std::vector<Holder> seen;
  bool some_hidden = false;  // processes whose open files this user may not look at
};

// The driver Windows bound to an FTDI device, from its device record (SetupAPI).
struct WindowsDriverFacts {
  std::string instance_id;  // "USB\VID_0403&PID_6001\QVX00001"
  std::string service;      // "FTDIBUS", "WinUSB", "libusbK", "libusb0", or empty for none
  std::string provider;
  std::string version;
  std::string description;  // the product string the device reported, where Windows kept it
  uint16_t vendor = 0;
  uint16_t product = 0;
  std::string serial;
};

// What opening a free unit gave, as the window's start-up connection makes it.
struct OpenFacts {
  bool tried = false;
  bool connected = false;
  std::chrono::milliseconds took{0};
  std::vector<std::string> messages;          // the boxes the connection showed
  std::optional<int> latency_ms;              // FT_GetLatencyTimer once open
  std::optional<d2xx::Dword> driver_version;  // FT_GetDriverVersion once open (Windows)
};

struct UsbFacts {
  std::string port;  // the port path, "1-4.2"
  uint16_t vendor = 0;
  uint16_t product = 0;
  uint16_t bcd_device = 0;
  std::string product_string;
  std::string serial;
  std::string speed;  // Mbit/s
  std::vector<HubFacts> hubs;
  std::string interface_name;         // "1-4.2:1.0"
  std::optional<std::string> driver;  // bound to it: "ftdi_sio", "usbfs", ...
  std::vector<std::string> ttys;      // "ttyUSB0"
};

struct DeviceFacts {
  std::optional<UsbFacts> usb;       // as sysfs shows it (Linux)
  std::optional<ListedUnit> listed;  // as the library lists it
  std::optional<NodeFacts> node;
  std::optional<UdevFacts> udev;
  HolderFacts holders;
  std::optional<WindowsDriverFacts> windows_driver;
  OpenFacts open;
  std::vector<std::string> kernel_log;  // the kernel's lines about its port

  // Its product string says it is a generator.
  bool generator() const;
  std::string port() const;  // the port path, or empty when nothing tells it
  std::string serial() const;
  std::string product() const;
  uint16_t vendor() const;
  uint16_t product_id() const;
};

// This user, as the access check needs it.
struct UserFacts {
  std::string name;
  bool root = false;
  std::vector<std::string> session_groups;  // the groups this process runs with
  std::vector<std::string> member_of;       // the groups the user database gives it now
};

enum class Platform { kLinux, kWindows };

struct Facts {
  Platform platform = Platform::kLinux;
  LibraryFacts library;
  std::vector<DeviceFacts> devices;
  UserFacts user;
  std::vector<std::string> udev_rules;      // where the project's udev rule is installed
  std::vector<std::string> kernel_trouble;  // enumeration trouble on ports with no device seen
  bool kernel_log_readable = false;
  std::string kernel_log;  // the whole log, for a report
};

}  // namespace qvx::doctor
