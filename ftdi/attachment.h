// What the open library knows of an attached USB device without disturbing it: where it is (bus,
// port path, address), the token of its attachment that the device information list hands out,
// and its product string and serial number. On Linux these come from sysfs, which the kernel
// filled when it enumerated the device: no open and no control transfer, so a device this user
// may not open is still named, no FTDI device that is not a generator is opened to learn that it
// is not one, and listing sends nothing to a unit that is loading. Where sysfs does not show them
// (another system, a test's bus), the device is asked once per attachment and the answer kept
// until it is unplugged: the address changes on every re-plug, so a re-plugged device is asked
// again.
#pragma once

#include <libusb.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/d2xx.h"

namespace qvx::ftdi {

// The USB strings that tell one bridge from another.
struct BridgeStrings {
  std::string description;
  std::string serial;
};

struct Attachment {
  uint8_t bus = 0;
  std::string port_path;  // "1-4.2"; empty when libusb cannot tell
  uint8_t address = 0;
  bool operator<(const Attachment& other) const;
};

Attachment AttachmentOf(libusb_device* device);

// The device information list's token of this attachment: never null, the same while the device
// stays plugged in, another after a re-plug (the kernel gives a re-plugged device the next free
// address on its bus).
d2xx::Handle AttachmentToken(const Attachment& attachment);

// The device's product string and serial number: from sysfs when it shows this very attachment
// (the same bus number and address), else as answered before for this attachment, else asked of
// the device (which opens it, without claiming it) and kept. Nothing when it cannot be asked
// (this user may not open it); that is tried again at the next call.
std::optional<BridgeStrings> AttachmentStrings(libusb_device* device,
                                               const libusb_device_descriptor& descriptor);

// Whether a program holds the device: sysfs shows one of its interfaces claimed through usbfs
// (libusb's claim; this process's own claims too). False where sysfs does not show the device.
bool ClaimedThroughUsbfs(const Attachment& attachment);

// Forgets the answers of every attachment but `present`'s: the devices that were unplugged.
void ForgetAttachmentsBut(const std::vector<Attachment>& present);

}  // namespace qvx::ftdi
