// The FTDI FIFO bridges attached to this machine: their order on the bus, their USB strings, and
// the choice of one by index, description or serial number. A bridge is a device with FTDI's
// vendor id and either one of the product ids libftdi knows (FT232R/FT245R, FT2232, FT4232H,
// FT232H, FT-X) or the generator's product string "QVX5120I1" whatever its product id: FTDI gives
// products built on its chips product ids of their own, and the udev rule matches the generator
// by its product string alone. Enumerating sends nothing to any device: the strings come from
// ftdi/attachment.h.
#pragma once

#include <ftdi.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "device/d2xx.h"
#include "ftdi/attachment.h"

namespace qvx::ftdi {

// What FT_Open or FT_OpenEx asks for.
struct BridgeChoice {
  enum class By { kIndex, kDescription, kSerial, kLocation };
  By by = By::kIndex;
  size_t index = 0;
  std::string text;
  d2xx::Dword location = 0;
};

// One enumeration of the bridges, made with `context`'s libusb context and held until
// destruction. Empty when libusb finds nothing or fails.
class BridgeList {
 public:
  explicit BridgeList(ftdi_context* context);
  ~BridgeList();
  BridgeList(const BridgeList&) = delete;
  BridgeList& operator=(const BridgeList&) = delete;

  size_t size() const { return bridges_.size(); }
  libusb_device* device(size_t index) const { return bridges_[index].device; }
  // The bridge's strings; nothing when they could not be read (see AttachmentStrings).
  std::optional<BridgeStrings> Strings(size_t index) const;
  const libusb_device_descriptor& descriptor(size_t index) const {
    return bridges_[index].descriptor;
  }
  // The bridge's location id, from its bus number and port path as libusb reports them; nothing
  // when the path does not fit a location id (device/usb_location.h).
  std::optional<d2xx::Dword> Location(size_t index) const;
  // The first bridge that matches `choice`.
  std::optional<size_t> Find(const BridgeChoice& choice) const;

 private:
  struct Found {
    libusb_device* device;  // holds a reference
    libusb_device_descriptor descriptor;
    std::optional<BridgeStrings> strings;
  };
  std::vector<Found> bridges_;
};

}  // namespace qvx::ftdi
