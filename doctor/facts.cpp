#include "doctor/facts.h"

#include "device/protocol.h"
#include "device/usb_location.h"

namespace qvx::doctor {

bool DeviceFacts::generator() const {
  return product() == DeviceDescription;
}

std::string DeviceFacts::port() const {
  if (usb)
    return usb->port;
  if (listed && listed->location != 0)
    return PortPathOfLocation(listed->location);
  return {};
}

std::string DeviceFacts::serial() const {
  return usb              ? usb->serial
         : listed         ? listed->serial
         : windows_driver ? windows_driver->serial
                          : std::string();
}

std::string DeviceFacts::product() const {
  return usb              ? usb->product_string
         : listed         ? listed->description
         : windows_driver ? windows_driver->description
                          : std::string();
}

uint16_t DeviceFacts::vendor() const {
  return usb              ? usb->vendor
         : listed         ? static_cast<uint16_t>(listed->id >> 16)
         : windows_driver ? windows_driver->vendor
                          : 0;
}

uint16_t DeviceFacts::product_id() const {
  return usb              ? usb->product
         : listed         ? static_cast<uint16_t>(listed->id & 0xFFFF)
         : windows_driver ? windows_driver->product
                          : 0;
}

}  // namespace qvx::doctor
