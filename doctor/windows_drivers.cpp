#include "doctor/windows_drivers.h"

#include <cctype>

namespace qvx::doctor {
namespace {

std::string Upper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

// The four hex digits after `key` ("VID_") in `text`.
std::optional<uint16_t> HexAfter(const std::string& text, std::string_view key) {
  const size_t at = text.find(key);
  if (at == std::string::npos || at + key.size() + 4 > text.size())
    return std::nullopt;
  uint16_t value = 0;
  for (size_t i = at + key.size(); i < at + key.size() + 4; ++i) {
    const char c = text[i];
    const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (digit < 0)
      return std::nullopt;
    value = static_cast<uint16_t>(value << 4 | digit);
  }
  return value;
}

}  // namespace

std::optional<WindowsDriverFacts> ParseInstanceId(std::string_view instance_id) {
  const std::string upper = Upper(instance_id);
  if (!upper.starts_with("USB\\"))
    return std::nullopt;
  const size_t last = instance_id.rfind('\\');
  const auto vendor = HexAfter(upper.substr(0, last), "VID_");
  const auto product = HexAfter(upper.substr(0, last), "PID_");
  if (!vendor || !product || last <= 4)
    return std::nullopt;
  WindowsDriverFacts facts;
  facts.instance_id = std::string(instance_id);
  facts.vendor = *vendor;
  facts.product = *product;
  // Windows names a device without a serial number by where it is ("5&1A2B3C&0&2"): no serial.
  const std::string_view tail = instance_id.substr(last + 1);
  if (tail.find('&') == std::string_view::npos)
    facts.serial = std::string(tail);
  return facts;
}

void AttachDriverRecords(std::vector<DeviceFacts>& devices,
                         const std::vector<DriverRecord>& records) {
  for (const DriverRecord& record : records) {
    auto parsed = ParseInstanceId(record.instance_id);
    if (!parsed || parsed->vendor != kVendorFtdi)
      continue;
    parsed->service = record.service;
    parsed->provider = record.provider;
    parsed->version = record.version;
    parsed->description = record.description;
    DeviceFacts* match = nullptr;
    for (DeviceFacts& device : devices) {
      if (match != nullptr || device.windows_driver || device.vendor() != kVendorFtdi)
        continue;
      if (!parsed->serial.empty()
              ? device.serial() == parsed->serial
              : device.serial().empty() && device.product_id() == parsed->product) {
        match = &device;
      }
    }
    if (match != nullptr) {
      match->windows_driver = std::move(*parsed);
    } else {
      DeviceFacts unlisted;
      unlisted.windows_driver = std::move(*parsed);
      devices.push_back(std::move(unlisted));
    }
  }
}

#if !defined(_WIN32)
std::vector<DriverRecord> ReadDriverRecords() {
  return {};
}
#endif

}  // namespace qvx::doctor
