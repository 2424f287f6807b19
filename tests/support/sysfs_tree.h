// A made-up /sys/bus/usb/devices in a temporary folder, laid out as the kernel lays it out (one
// folder per device named by its port path, attribute files ending in a newline, interfaces as
// sub-folders with a "driver" link and their tty children), so that the readers of sysfs run on
// the devices a test describes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qvx::test {

struct FakeUsbDevice {
  std::string name;  // "1-4.2", or "usb1"
  uint16_t vendor = 0x0403;
  uint16_t product = 0x6001;
  uint16_t bcd_device = 0x0600;
  int device_class = 0;
  int bus = 1;
  int address = 2;
  std::optional<std::string> product_string = "QVX5120I1";
  std::optional<std::string> serial;
  std::string speed = "12";
  // Interface 1.0: its driver, if any, and its ttys.
  std::optional<std::string> driver;
  std::vector<std::string> ttys;
};

// A hub, and an FTDI chip (0403:6001, an FT245R) with these strings, at `name` and `address`.
FakeUsbDevice FakeHub(std::string name, uint16_t vendor, uint16_t product, int address,
                      std::string product_string);
FakeUsbDevice FakeFtdi(std::string name, int address, std::optional<std::string> product_string,
                       std::optional<std::string> serial);

class SysfsTree {
 public:
  // An empty tree under TempDir()/`name`.
  explicit SysfsTree(const std::string& name);
  ~SysfsTree();
  SysfsTree(const SysfsTree&) = delete;
  SysfsTree& operator=(const SysfsTree&) = delete;

  void Add(const FakeUsbDevice& device) const;
  // The folder that stands for /sys/bus/usb/devices.
  const std::string& devices() const { return devices_; }

 private:
  std::string root_;
  std::string devices_;
};

}  // namespace qvx::test
