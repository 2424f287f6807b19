#include "ftdi/bridge_search.h"

#include <algorithm>
#include <array>

#include <libusb.h>

#include "device/protocol.h"
#include "device/usb_location.h"

namespace qvx::ftdi {
namespace {

// Longest USB string a D2XX caller receives, with its terminator (FT_ListDevices' buffer size).
constexpr int kStringBuffer = 64;

constexpr uint16_t kVendorFtdi = 0x0403;
// The product ids libftdi's ftdi_usb_find_all looks for when given none.
constexpr std::array<uint16_t, 5> kLibftdiProducts = {0x6001, 0x6010, 0x6011, 0x6014, 0x6015};

// The device's product string; empty when the device cannot be opened or has none.
std::string ProductString(libusb_device* device, const libusb_device_descriptor& descriptor) {
  libusb_device_handle* handle = nullptr;
  if (descriptor.iProduct == 0 || libusb_open(device, &handle) != LIBUSB_SUCCESS)
    return {};
  std::array<unsigned char, kStringBuffer> text{};
  const int length =
      libusb_get_string_descriptor_ascii(handle, descriptor.iProduct, text.data(), kStringBuffer);
  libusb_close(handle);
  return length > 0 ? std::string(text.begin(), text.begin() + length) : std::string();
}

bool IsBridge(libusb_device* device) {
  libusb_device_descriptor descriptor{};
  if (libusb_get_device_descriptor(device, &descriptor) != LIBUSB_SUCCESS ||
      descriptor.idVendor != kVendorFtdi) {
    return false;
  }
  if (std::find(kLibftdiProducts.begin(), kLibftdiProducts.end(), descriptor.idProduct) !=
      kLibftdiProducts.end()) {
    return true;
  }
  return ProductString(device, descriptor) == DeviceDescription;
}

}  // namespace

BridgeList::BridgeList(ftdi_context* context) : context_(context) {
  libusb_device** all = nullptr;
  const ssize_t count = libusb_get_device_list(context_->usb_ctx, &all);
  if (count < 0)
    return;
  for (ssize_t i = 0; i < count; ++i) {
    if (IsBridge(all[i]))
      devices_.push_back(libusb_ref_device(all[i]));
  }
  libusb_free_device_list(all, 1);
}

BridgeList::~BridgeList() {
  for (libusb_device* device : devices_)
    libusb_unref_device(device);
}

std::optional<BridgeStrings> BridgeList::Strings(size_t index) const {
  std::array<char, kStringBuffer> description{};
  std::array<char, kStringBuffer> serial{};
  if (index >= devices_.size() ||
      ftdi_usb_get_strings(context_, devices_[index], nullptr, 0, description.data(), kStringBuffer,
                           serial.data(), kStringBuffer) < 0) {
    return std::nullopt;
  }
  return BridgeStrings{description.data(), serial.data()};
}

std::optional<d2xx::Dword> BridgeList::Location(size_t index) const {
  if (index >= devices_.size())
    return std::nullopt;
  std::array<uint8_t, kMaxPortLevels + 1> ports{};
  const int levels =
      libusb_get_port_numbers(devices_[index], ports.data(), static_cast<int>(ports.size()));
  if (levels <= 0)
    return std::nullopt;
  std::string path = std::to_string(libusb_get_bus_number(devices_[index])) + "-";
  for (int level = 0; level < levels; ++level)
    path += (level == 0 ? "" : ".") + std::to_string(ports[static_cast<size_t>(level)]);
  return LocationOfPortPath(path);
}

std::optional<size_t> BridgeList::Find(const BridgeChoice& choice) const {
  if (choice.by == BridgeChoice::By::kIndex) {
    if (choice.index < devices_.size())
      return choice.index;
    return std::nullopt;
  }
  if (choice.by == BridgeChoice::By::kLocation) {
    for (size_t i = 0; i < devices_.size(); ++i) {
      if (Location(i) == choice.location)
        return i;
    }
    return std::nullopt;
  }
  for (size_t i = 0; i < devices_.size(); ++i) {
    const auto strings = Strings(i);
    if (!strings)
      continue;
    const std::string& text =
        choice.by == BridgeChoice::By::kDescription ? strings->description : strings->serial;
    if (text == choice.text)
      return i;
  }
  return std::nullopt;
}

}  // namespace qvx::ftdi
