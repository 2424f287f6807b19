#include "tests/support/sysfs_tree.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "tests/support/test_files.h"

namespace qvx::test {
namespace {

namespace fs = std::filesystem;

void Attribute(const fs::path& file, const std::string& text) {
  std::ofstream(file, std::ios::binary) << text << '\n';
}

std::string Hex4(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "%04x", value);
  return text;
}

}  // namespace

FakeUsbDevice FakeHub(std::string name, uint16_t vendor, uint16_t product, int address,
                      std::string product_string) {
  FakeUsbDevice hub;
  hub.name = std::move(name);
  hub.vendor = vendor;
  hub.product = product;
  hub.device_class = 9;
  hub.address = address;
  hub.product_string = std::move(product_string);
  hub.speed = "480";
  return hub;
}

FakeUsbDevice FakeFtdi(std::string name, int address, std::optional<std::string> product_string,
                       std::optional<std::string> serial) {
  FakeUsbDevice chip;
  chip.name = std::move(name);
  chip.address = address;
  chip.product_string = std::move(product_string);
  chip.serial = std::move(serial);
  return chip;
}

SysfsTree::SysfsTree(const std::string& name)
    : root_(TempDir() + "/" + name), devices_(root_ + "/bus/usb/devices") {
  fs::remove_all(root_);
  fs::create_directories(devices_);
  fs::create_directories(root_ + "/bus/usb/drivers");
}

SysfsTree::~SysfsTree() {
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

void SysfsTree::Add(const FakeUsbDevice& device) const {
  const fs::path folder = fs::path(devices_) / device.name;
  fs::create_directories(folder);
  Attribute(folder / "idVendor", Hex4(device.vendor));
  Attribute(folder / "idProduct", Hex4(device.product));
  Attribute(folder / "bcdDevice", Hex4(device.bcd_device));
  char device_class[4];
  std::snprintf(device_class, sizeof device_class, "%02x", device.device_class);
  Attribute(folder / "bDeviceClass", device_class);
  Attribute(folder / "busnum", std::to_string(device.bus));
  Attribute(folder / "devnum", std::to_string(device.address));
  Attribute(folder / "speed", device.speed);
  if (device.product_string)
    Attribute(folder / "product", *device.product_string);
  if (device.serial)
    Attribute(folder / "serial", *device.serial);
  if (device.name.starts_with("usb"))
    return;
  const fs::path interface = folder / (device.name + ":1.0");
  fs::create_directories(interface);
  Attribute(interface / "bInterfaceNumber", "00");
  if (device.driver) {
    const fs::path driver = fs::path(root_) / "bus/usb/drivers" / *device.driver;
    fs::create_directories(driver);
    fs::create_directory_symlink(driver, interface / "driver");
  }
  for (const std::string& tty : device.ttys)
    fs::create_directories(interface / tty / "tty" / tty);
}

}  // namespace qvx::test
