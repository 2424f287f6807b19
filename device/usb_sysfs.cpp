#include "device/usb_sysfs.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <system_error>

namespace qvx {
namespace {

namespace fs = std::filesystem;

// An attribute's text without its line end; empty when it cannot be read. sysfs attributes are
// short: a page at most.
std::string Attribute(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::string text;
  std::getline(in, text, '\0');
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
    text.pop_back();
  return text;
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
    text.remove_prefix(1);
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ' || text.back() == '\t'))
    text.remove_suffix(1);
  return text;
}

// A device's folder name: "usbN" or "BUS-PORT[.PORT...]" (an interface adds ":C.I").
bool IsDeviceName(std::string_view name) {
  if (name.starts_with("usb"))
    return name.size() > 3 && ParseDecimal(name.substr(3)).has_value();
  const size_t dash = name.find('-');
  if (dash == 0 || dash == std::string_view::npos || dash + 1 == name.size())
    return false;
  return std::all_of(name.begin(), name.end(),
                     [](char c) { return (c >= '0' && c <= '9') || c == '-' || c == '.'; });
}

// The interfaces of device `name`: its sub-folders "name:C.I".
std::vector<SysfsInterface> Interfaces(const fs::path& folder, const std::string& name) {
  std::vector<SysfsInterface> interfaces;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    const std::string child = entry.path().filename().string();
    if (!child.starts_with(name + ":"))
      continue;
    SysfsInterface interface {
      child, std::nullopt, {}
    };
    std::error_code link_error;
    const fs::path driver = fs::read_symlink(entry.path() / "driver", link_error);
    if (!link_error)
      interface.driver = driver.filename().string();
    std::error_code tty_error;
    for (const auto& tty : fs::directory_iterator(entry.path(), tty_error)) {
      const std::string tty_name = tty.path().filename().string();
      if (tty_name.starts_with("tty"))
        interface.ttys.push_back(tty_name);
    }
    std::sort(interface.ttys.begin(), interface.ttys.end());
    interfaces.push_back(std::move(interface));
  }
  std::sort(interfaces.begin(), interfaces.end(),
            [](const SysfsInterface& a, const SysfsInterface& b) { return a.name < b.name; });
  return interfaces;
}

}  // namespace

std::optional<uint16_t> ParseHexWord(std::string_view text) {
  if (!text.empty() && text.back() == '\n')
    text.remove_suffix(1);
  if (text.size() != 4)
    return std::nullopt;
  uint16_t value = 0;
  for (char c : text) {
    int digit = -1;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    if (digit < 0)
      return std::nullopt;
    value = static_cast<uint16_t>(value << 4 | digit);
  }
  return value;
}

std::optional<int> ParseDecimal(std::string_view text) {
  text = Trimmed(text);
  if (text.empty() || text.size() > 5)
    return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9')
      return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value <= 65535 ? std::optional<int>(value) : std::nullopt;
}

std::vector<std::string> HubPathsAbove(std::string_view name) {
  const size_t dash = name.find('-');
  if (dash == std::string_view::npos || name.starts_with("usb"))
    return {};
  std::vector<std::string> hubs{"usb" + std::string(name.substr(0, dash))};
  for (size_t dot = name.find('.'); dot != std::string_view::npos; dot = name.find('.', dot + 1))
    hubs.emplace_back(name.substr(0, dot));
  return hubs;
}

std::optional<SysfsUsbDevice> ReadSysfsUsbDevice(const fs::path& devices, const std::string& name) {
  const fs::path folder = devices / name;
  const auto vendor = ParseHexWord(Attribute(folder / "idVendor"));
  if (!IsDeviceName(name) || !vendor)
    return std::nullopt;
  SysfsUsbDevice device;
  device.name = name;
  device.vendor = *vendor;
  device.product = ParseHexWord(Attribute(folder / "idProduct")).value_or(0);
  device.bcd_device = ParseHexWord(Attribute(folder / "bcdDevice")).value_or(0);
  device.device_class = ParseHexWord("00" + Attribute(folder / "bDeviceClass")).value_or(0);
  device.bus = ParseDecimal(Attribute(folder / "busnum")).value_or(0);
  device.address = ParseDecimal(Attribute(folder / "devnum")).value_or(0);
  device.product_string = Attribute(folder / "product");
  device.manufacturer = Attribute(folder / "manufacturer");
  device.serial = Attribute(folder / "serial");
  device.speed = std::string(Trimmed(Attribute(folder / "speed")));
  device.interfaces = Interfaces(folder, name);
  return device;
}

std::vector<SysfsUsbDevice> ListSysfsUsbDevices(const fs::path& devices) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(devices, error)) {
    const std::string name = entry.path().filename().string();
    if (IsDeviceName(name))
      names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  std::vector<SysfsUsbDevice> found;
  for (const std::string& name : names) {
    if (auto device = ReadSysfsUsbDevice(devices, name))
      found.push_back(std::move(*device));
  }
  return found;
}

}  // namespace qvx
