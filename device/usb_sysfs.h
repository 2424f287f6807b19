// USB devices as Linux's sysfs shows them (/sys/bus/usb/devices): what the kernel read from each
// device when it was enumerated (ids, strings, speed, bus number and address) and which driver
// holds each of its interfaces, all read from files, without opening the device or sending it
// anything. The open library takes its product strings and serial numbers from here, and the
// doctor everything it shows of a device; both are given the folder, so tests hand in a tree of
// their own.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qvx {

inline constexpr const char* kSysfsUsbDevices = "/sys/bus/usb/devices";

struct SysfsInterface {
  std::string name;                   // "1-4.2:1.0"
  std::optional<std::string> driver;  // "ftdi_sio", "usbfs" (a program claimed it); none unbound
  std::vector<std::string> ttys;      // "ttyUSB0": the serial ports ftdi_sio made of it
};

struct SysfsUsbDevice {
  std::string name;  // the port path, "1-4.2"; "usb1" for a bus's root hub
  uint16_t vendor = 0;
  uint16_t product = 0;
  uint16_t bcd_device = 0;
  int device_class = 0;  // 9 for a hub
  int bus = 0;
  int address = 0;
  std::string product_string;
  std::string manufacturer;
  std::string serial;
  std::string speed;  // in Mbit/s, as the kernel writes it: "12", "480"
  std::vector<SysfsInterface> interfaces;
};

// The device `name` under `devices` (a folder laid out as /sys/bus/usb/devices); nothing when it
// is not there or has no vendor id. Missing strings read as empty.
std::optional<SysfsUsbDevice> ReadSysfsUsbDevice(const std::filesystem::path& devices,
                                                 const std::string& name);

// Every device (not interface) under `devices`, root hubs included, ordered by name.
std::vector<SysfsUsbDevice> ListSysfsUsbDevices(const std::filesystem::path& devices);

// "0403\n" -> 0x0403: four hex digits, as sysfs writes ids, with the line's end; nothing for
// anything else.
std::optional<uint16_t> ParseHexWord(std::string_view text);
// "  12\n" -> 12; nothing for anything but a whole decimal number from 0 to 65535.
std::optional<int> ParseDecimal(std::string_view text);

// The hubs above device `name`, the bus's root hub first: "1-4.2" -> "usb1", "1-4".
std::vector<std::string> HubPathsAbove(std::string_view name);

}  // namespace qvx
