#include "ftdi/bridge_search.h"

#include <array>

namespace qvx::ftdi {
namespace {

// Longest USB string a D2XX caller receives, with its terminator (FT_ListDevices' buffer size).
constexpr int kStringBuffer = 64;

}  // namespace

BridgeList::BridgeList(ftdi_context* context) : context_(context) {
  // Vendor and product 0 ask libftdi for its own list: FTDI's vendor id with the FT232R/FT245R,
  // FT2232, FT4232H, FT232H and FT-X product ids.
  if (ftdi_usb_find_all(context_, &list_, 0, 0) <= 0)
    return;
  for (ftdi_device_list* entry = list_; entry != nullptr; entry = entry->next)
    devices_.push_back(entry->dev);
}

BridgeList::~BridgeList() {
  if (list_ != nullptr)
    ftdi_list_free(&list_);
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

std::optional<size_t> BridgeList::Find(const BridgeChoice& choice) const {
  if (choice.by == BridgeChoice::By::kIndex) {
    if (choice.index < devices_.size())
      return choice.index;
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
