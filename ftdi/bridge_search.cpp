#include "ftdi/bridge_search.h"

#include <algorithm>
#include <array>

#include <libusb.h>

#include "device/protocol.h"
#include "device/usb_location.h"

namespace qvx::ftdi {
namespace {

constexpr uint16_t kVendorFtdi = 0x0403;
// The product ids libftdi's ftdi_usb_find_all looks for when given none.
constexpr std::array<uint16_t, 5> kLibftdiProducts = {0x6001, 0x6010, 0x6011, 0x6014, 0x6015};

bool KnownToLibftdi(uint16_t product) {
  return std::find(kLibftdiProducts.begin(), kLibftdiProducts.end(), product) !=
         kLibftdiProducts.end();
}

}  // namespace

BridgeList::BridgeList(ftdi_context* context) {
  libusb_device** all = nullptr;
  const ssize_t count = libusb_get_device_list(context->usb_ctx, &all);
  if (count < 0)
    return;
  std::vector<Attachment> present;
  for (ssize_t i = 0; i < count; ++i) {
    libusb_device_descriptor descriptor{};
    if (libusb_get_device_descriptor(all[i], &descriptor) != LIBUSB_SUCCESS ||
        descriptor.idVendor != kVendorFtdi) {
      continue;
    }
    present.push_back(AttachmentOf(all[i]));
    auto strings = AttachmentStrings(all[i], descriptor);
    const bool generator = strings && strings->description == DeviceDescription;
    if (generator || KnownToLibftdi(descriptor.idProduct))
      bridges_.push_back({libusb_ref_device(all[i]), descriptor, std::move(strings)});
  }
  libusb_free_device_list(all, 1);
  ForgetAttachmentsBut(present);
}

BridgeList::~BridgeList() {
  for (const Found& bridge : bridges_)
    libusb_unref_device(bridge.device);
}

std::optional<BridgeStrings> BridgeList::Strings(size_t index) const {
  if (index >= bridges_.size())
    return std::nullopt;
  return bridges_[index].strings;
}

std::optional<d2xx::Dword> BridgeList::Location(size_t index) const {
  if (index >= bridges_.size())
    return std::nullopt;
  const Attachment attachment = AttachmentOf(bridges_[index].device);
  if (attachment.port_path.empty())
    return std::nullopt;
  return LocationOfPortPath(attachment.port_path);
}

std::optional<size_t> BridgeList::Find(const BridgeChoice& choice) const {
  if (choice.by == BridgeChoice::By::kIndex) {
    if (choice.index < bridges_.size())
      return choice.index;
    return std::nullopt;
  }
  if (choice.by == BridgeChoice::By::kLocation) {
    for (size_t i = 0; i < bridges_.size(); ++i) {
      if (Location(i) == choice.location)
        return i;
    }
    return std::nullopt;
  }
  for (size_t i = 0; i < bridges_.size(); ++i) {
    const auto& strings = bridges_[i].strings;
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
