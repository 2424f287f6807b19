#include "ftdi/attachment.h"

#include <array>
#include <map>
#include <mutex>
#include <tuple>
#include <vector>

#include "device/usb_location.h"
#include "device/usb_sysfs.h"

namespace qvx::ftdi {
namespace {

// Longest USB string a D2XX caller receives, with its terminator (FT_ListDevices' buffer size).
constexpr int kStringBuffer = 64;

// Answers kept per attachment, shared by every listing and open of the process.
struct Answers {
  std::mutex mutex;
  std::map<Attachment, BridgeStrings> strings;
};

Answers& Kept() {
  static Answers answers;
  return answers;
}

std::string StringDescriptor(libusb_device_handle* handle, uint8_t index) {
  std::array<unsigned char, kStringBuffer> text{};
  if (index == 0)
    return {};
  const int length = libusb_get_string_descriptor_ascii(handle, index, text.data(), kStringBuffer);
  return length > 0 ? std::string(text.begin(), text.begin() + length) : std::string();
}

std::optional<BridgeStrings> AskDevice(libusb_device* device,
                                       const libusb_device_descriptor& descriptor) {
  libusb_device_handle* handle = nullptr;
  if (libusb_open(device, &handle) != LIBUSB_SUCCESS)
    return std::nullopt;
  BridgeStrings strings{StringDescriptor(handle, descriptor.iProduct),
                        StringDescriptor(handle, descriptor.iSerialNumber)};
  libusb_close(handle);
  return strings;
}

}  // namespace

bool Attachment::operator<(const Attachment& other) const {
  return std::tie(bus, port_path, address) < std::tie(other.bus, other.port_path, other.address);
}

Attachment AttachmentOf(libusb_device* device) {
  Attachment attachment{libusb_get_bus_number(device), {}, libusb_get_device_address(device)};
  std::array<uint8_t, kMaxPortLevels + 1> ports{};
  const int levels = libusb_get_port_numbers(device, ports.data(), static_cast<int>(ports.size()));
  if (levels > 0) {
    attachment.port_path = std::to_string(attachment.bus) + "-";
    for (int level = 0; level < levels; ++level)
      attachment.port_path +=
          (level == 0 ? "" : ".") + std::to_string(ports[static_cast<size_t>(level)]);
  }
  return attachment;
}

d2xx::Handle AttachmentToken(const Attachment& attachment) {
  // Bit 16 keeps it from ever being null.
  const uintptr_t token = uintptr_t{1} << 16 | uintptr_t{attachment.bus} << 8 | attachment.address;
  return reinterpret_cast<d2xx::Handle>(token);
}

std::optional<BridgeStrings> AttachmentStrings(libusb_device* device,
                                               const libusb_device_descriptor& descriptor) {
  const Attachment attachment = AttachmentOf(device);
  if (!attachment.port_path.empty()) {
    const auto shown = ReadSysfsUsbDevice(kSysfsUsbDevices, attachment.port_path);
    if (shown && shown->bus == attachment.bus && shown->address == attachment.address)
      return BridgeStrings{shown->product_string, shown->serial};
  }
  Answers& kept = Kept();
  {
    std::lock_guard lock(kept.mutex);
    if (const auto found = kept.strings.find(attachment); found != kept.strings.end())
      return found->second;
  }
  auto asked = AskDevice(device, descriptor);
  if (asked) {
    std::lock_guard lock(kept.mutex);
    kept.strings[attachment] = *asked;
  }
  return asked;
}

bool ClaimedThroughUsbfs(const Attachment& attachment) {
  if (attachment.port_path.empty())
    return false;
  const auto shown = ReadSysfsUsbDevice(kSysfsUsbDevices, attachment.port_path);
  if (!shown || shown->bus != attachment.bus || shown->address != attachment.address)
    return false;
  for (const SysfsInterface& interface : shown->interfaces) {
    if (interface.driver == "usbfs")
      return true;
  }
  return false;
}

void ForgetAttachmentsBut(const std::vector<Attachment>& present) {
  Answers& kept = Kept();
  std::lock_guard lock(kept.mutex);
  std::erase_if(kept.strings, [&](const auto& entry) {
    for (const Attachment& attachment : present) {
      if (!(attachment < entry.first) && !(entry.first < attachment))
        return false;
    }
    return true;
  });
}

}  // namespace qvx::ftdi
