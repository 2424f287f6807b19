// A test double of libusb-1.0, loaded under the real libftdi1 through the library search path
// (its SONAME is libusb-1.0.so.0). It provides every libusb function libftdi1 imports and answers
// them as a bus with FT245R-type bridges in front of the generator model would, so the open
// libftd2xx.so can be run end to end through libftdi's own code. The bridges' descriptors,
// requests and bulk framing and timing are the chip model's (tests/ft245r/ft245r_bridge.h).
//
// Environment, read at the first call and at every VG_Reset:
//   QVX_USB_DEVICES=n       bridges attached: 0, 1 (default) or 2 (serials QVX00001, QVX00002,
//                           both described "QVX5120I1")
//   QVX_USB_PRODUCT_ID=n    the bridges' USB product id, in decimal (default 24577, 0x6001)
//   QVX_USB_FOREIGN=1       an FTDI serial adapter with product id 0xFAF0, described "USB Serial
//                           Converter", comes first on the bus
//   QVX_USB_SILENT_WHEN_EMPTY=1  bulk-in reads with nothing to send time out, as on QEMU's
//                           emulated FTDI chip
//   QVX_USB_INIT_FAILS=1    libusb_init fails, as without /dev/bus/usb
//   QVX_USB_MUTE=1          the generator never answers a status poll
//   QVX_USB_UNPLUG_AFTER=n  each bridge takes n bulk-out bytes, then is gone (transfers fail with
//                           LIBUSB_ERROR_NO_DEVICE and it leaves the device list)
//   QVX_VG_FLASH=path       the first bridge keeps its flash in this file ("none": in memory)
//
// A bulk-in read waits, without the bus lock, until the chip would complete it (its latency
// timer, as a rule) and fails with LIBUSB_ERROR_TIMEOUT when that is past the read's time-out;
// every other call answers at once.
#include <libusb-1.0/libusb.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "emulator/text.h"
#include "tests/usb-double/usb_bus.h"

#define QVX_USB_EXPORT extern "C" __attribute__((visibility("default")))

using qvx::usbdouble::Bridge;
using qvx::usbdouble::TheBus;
using qvx::vg::Format;
using qvx::vg::HexBytes;

struct libusb_context {
  int unused = 0;
};
struct libusb_device {
  Bridge* bridge;
};
struct libusb_device_handle {
  Bridge* bridge;
  bool claimed = false;
};

namespace ft245r = qvx::ft245r;

namespace {

using Clock = std::chrono::steady_clock;

// One libusb_device per bridge, kept as long as the bridge.
libusb_device* DeviceOf(Bridge& bridge) {
  static std::vector<std::pair<Bridge*, std::unique_ptr<libusb_device>>> devices;
  for (auto& [owner, device] : devices) {
    if (owner == &bridge)
      return device.get();
  }
  devices.emplace_back(&bridge, std::make_unique<libusb_device>(libusb_device{&bridge}));
  return devices.back().second.get();
}

// The little-endian 16-bit field at `at`.
uint16_t Word(const std::vector<uint8_t>& bytes, size_t at) {
  return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

// The configuration descriptor with everything it points to, freed as one block.
struct ConfigBlock {
  libusb_config_descriptor config{};
  libusb_interface interface {};
  libusb_interface_descriptor setting{};
  libusb_endpoint_descriptor endpoints[2]{};
};

}  // namespace

QVX_USB_EXPORT int libusb_init(libusb_context** context) {
  auto& bus = TheBus();
  std::lock_guard lock(bus.mutex);
  if (bus.settings().init_fails)
    return LIBUSB_ERROR_OTHER;
  if (context != nullptr)
    *context = new libusb_context;
  return LIBUSB_SUCCESS;
}

QVX_USB_EXPORT void libusb_exit(libusb_context* context) {
  delete context;
}

QVX_USB_EXPORT ssize_t libusb_get_device_list(libusb_context*, libusb_device*** list) {
  if (list == nullptr)
    return LIBUSB_ERROR_INVALID_PARAM;
  auto& bus = TheBus();
  std::lock_guard lock(bus.mutex);
  std::vector<libusb_device*> present;
  for (Bridge* bridge : bus.Attached())
    present.push_back(DeviceOf(*bridge));
  auto** out = static_cast<libusb_device**>(std::calloc(present.size() + 1, sizeof(void*)));
  if (out == nullptr)
    return LIBUSB_ERROR_NO_MEM;
  std::copy(present.begin(), present.end(), out);
  *list = out;
  return static_cast<ssize_t>(present.size());
}

QVX_USB_EXPORT void libusb_free_device_list(libusb_device** list, int) {
  std::free(list);
}

// Devices live as long as their bridge, so references need no counting.
QVX_USB_EXPORT libusb_device* libusb_ref_device(libusb_device* device) {
  return device;
}
QVX_USB_EXPORT void libusb_unref_device(libusb_device*) {}

QVX_USB_EXPORT int libusb_get_device_descriptor(libusb_device* device,
                                                libusb_device_descriptor* descriptor) {
  if (device == nullptr || descriptor == nullptr)
    return LIBUSB_ERROR_INVALID_PARAM;
  // libusb reads the descriptor the device sent at enumeration: the chip's own bytes.
  const auto bytes = ft245r::DeviceDescriptor(device->bridge->chip.identity());
  static_assert(sizeof(libusb_device_descriptor) == LIBUSB_DT_DEVICE_SIZE);
  *descriptor = libusb_device_descriptor{.bLength = bytes[0],
                                         .bDescriptorType = bytes[1],
                                         .bcdUSB = Word(bytes, 2),
                                         .bDeviceClass = bytes[4],
                                         .bDeviceSubClass = bytes[5],
                                         .bDeviceProtocol = bytes[6],
                                         .bMaxPacketSize0 = bytes[7],
                                         .idVendor = Word(bytes, 8),
                                         .idProduct = Word(bytes, 10),
                                         .bcdDevice = Word(bytes, 12),
                                         .iManufacturer = bytes[14],
                                         .iProduct = bytes[15],
                                         .iSerialNumber = bytes[16],
                                         .bNumConfigurations = bytes[17]};
  return LIBUSB_SUCCESS;
}

QVX_USB_EXPORT int libusb_get_config_descriptor(libusb_device* device, uint8_t index,
                                                libusb_config_descriptor** config) {
  if (device == nullptr || config == nullptr || index != 0)
    return LIBUSB_ERROR_NOT_FOUND;
  // Parsed from the chip's configuration descriptor: configuration, interface, two endpoints.
  const auto bytes = ft245r::ConfigurationDescriptor();
  auto* block = new ConfigBlock;
  auto& config_out = block->config;
  config_out.bLength = bytes[0];
  config_out.bDescriptorType = bytes[1];
  config_out.wTotalLength = Word(bytes, 2);
  config_out.bNumInterfaces = bytes[4];
  config_out.bConfigurationValue = bytes[5];
  config_out.iConfiguration = bytes[6];
  config_out.bmAttributes = bytes[7];
  config_out.MaxPower = bytes[8];
  const uint8_t* s = &bytes[9];
  auto& setting = block->setting;
  setting.bLength = s[0];
  setting.bDescriptorType = s[1];
  setting.bInterfaceNumber = s[2];
  setting.bAlternateSetting = s[3];
  setting.bNumEndpoints = s[4];
  setting.bInterfaceClass = s[5];
  setting.bInterfaceSubClass = s[6];
  setting.bInterfaceProtocol = s[7];
  setting.iInterface = s[8];
  for (int i = 0; i < 2; ++i) {
    const uint8_t* e = &bytes[18 + 7 * static_cast<size_t>(i)];
    auto& endpoint = block->endpoints[i];
    endpoint.bLength = e[0];
    endpoint.bDescriptorType = e[1];
    endpoint.bEndpointAddress = e[2];
    endpoint.bmAttributes = e[3];
    endpoint.wMaxPacketSize = static_cast<uint16_t>(e[4] | e[5] << 8);
    endpoint.bInterval = e[6];
  }
  block->setting.endpoint = block->endpoints;
  block->interface.altsetting = &block->setting;
  block->interface.num_altsetting = 1;
  block->config.interface = &block->interface;
  *config = &block->config;
  return LIBUSB_SUCCESS;
}

QVX_USB_EXPORT void libusb_free_config_descriptor(libusb_config_descriptor* config) {
  delete reinterpret_cast<ConfigBlock*>(config);  // `config` is the block's first member
}

QVX_USB_EXPORT uint8_t libusb_get_bus_number(libusb_device*) {
  return 1;
}

// Every device sits on a hub at port 4 of bus 1: the bridges at its ports 1, 2, ... in their
// order, whichever are attached, the foreign device at port 7 (port paths 1-4.1, 1-4.2, 1-4.7).
QVX_USB_EXPORT int libusb_get_port_numbers(libusb_device* device, uint8_t* ports, int length) {
  if (device == nullptr || ports == nullptr || length < 0)
    return LIBUSB_ERROR_INVALID_PARAM;
  if (length < 2)
    return LIBUSB_ERROR_OVERFLOW;
  auto& bus = TheBus();
  std::lock_guard lock(bus.mutex);
  uint8_t port = 7;
  const auto& bridges = bus.bridges();
  for (size_t i = 0; i < bridges.size(); ++i) {
    if (bridges[i].get() == device->bridge)
      port = static_cast<uint8_t>(1 + i);
  }
  ports[0] = 4;
  ports[1] = port;
  return 2;
}

QVX_USB_EXPORT uint8_t libusb_get_device_address(libusb_device* device) {
  auto& bus = TheBus();
  std::lock_guard lock(bus.mutex);
  return device != nullptr ? device->bridge->address : 0;
}

QVX_USB_EXPORT int libusb_open(libusb_device* device, libusb_device_handle** handle) {
  if (device == nullptr || handle == nullptr)
    return LIBUSB_ERROR_INVALID_PARAM;
  auto& bus = TheBus();
  std::lock_guard lock(bus.mutex);
  if (device->bridge->gone())
    return LIBUSB_ERROR_NO_DEVICE;
  *handle = new libusb_device_handle{device->bridge};
  return LIBUSB_SUCCESS;
}

QVX_USB_EXPORT void libusb_close(libusb_device_handle* handle) {
  if (handle == nullptr)
    return;
  auto& bus = TheBus();
  std::lock_guard lock(bus.mutex);
  if (handle->claimed)
    handle->bridge->claimed = false;
  delete handle;
}

QVX_USB_EXPORT int libusb_get_string_descriptor_ascii(libusb_device_handle* handle, uint8_t index,
                                                      unsigned char* data, int length) {
  if (handle == nullptr || data == nullptr || length <= 0)
    return LIBUSB_ERROR_INVALID_PARAM;
  auto& bus = TheBus();
  std::lock_guard lock(bus.mutex);
  if (handle->bridge->gone())
    return LIBUSB_ERROR_NO_DEVICE;
  // As libusb does: the string in the chip's language, UTF-16LE cut to ASCII.
  const auto descriptor = ft245r::StringDescriptor(handle->bridge->chip.identity(), index);
  // Two control transfers on a real bus (the language list, then the string), logged as one line.
  if (index == 0 || !descriptor) {
    bus.Log(
        Format("string %s %u -> %d", handle->bridge->serial().c_str(), index, LIBUSB_ERROR_PIPE));
    return LIBUSB_ERROR_PIPE;  // the device stalls a request for a string it lacks
  }
  int copied = 0;
  for (size_t at = 2; at + 1 < descriptor->size() && copied < length - 1; at += 2) {
    const bool ascii = (*descriptor)[at + 1] == 0 && (*descriptor)[at] < 0x80;
    data[copied++] = ascii ? (*descriptor)[at] : '?';
  }
  data[copied] = '\0';
  bus.Log(Format("string %s %u -> %d", handle->bridge->serial().c_str(), index, copied));
  return copied;
}

QVX_USB_EXPORT int libusb_get_configuration(libusb_device_handle* handle, int* config) {
  if (handle == nullptr || config == nullptr)
    return LIBUSB_ERROR_INVALID_PARAM;
  *config = 1;
  return LIBUSB_SUCCESS;
}

QVX_USB_EXPORT int libusb_set_configuration(libusb_device_handle* handle, int config) {
  return handle != nullptr && config == 1 ? LIBUSB_SUCCESS : LIBUSB_ERROR_NOT_FOUND;
}

// No kernel driver is ever bound to these bridges.
QVX_USB_EXPORT int libusb_detach_kernel_driver(libusb_device_handle*, int) {
  return LIBUSB_ERROR_NOT_FOUND;
}
QVX_USB_EXPORT int libusb_attach_kernel_driver(libusb_device_handle*, int) {
  return LIBUSB_ERROR_NOT_FOUND;
}
QVX_USB_EXPORT int libusb_set_auto_detach_kernel_driver(libusb_device_handle*, int) {
  return LIBUSB_SUCCESS;
}

QVX_USB_EXPORT int libusb_claim_interface(libusb_device_handle* handle, int interface) {
  if (handle == nullptr || interface != 0)
    return LIBUSB_ERROR_NOT_FOUND;
  auto& bus = TheBus();
  std::lock_guard lock(bus.mutex);
  Bridge& bridge = *handle->bridge;
  int status = LIBUSB_SUCCESS;
  if (bridge.gone())
    status = LIBUSB_ERROR_NO_DEVICE;
  else if (bridge.claimed && !handle->claimed)
    status = LIBUSB_ERROR_BUSY;
  else
    bridge.claimed = handle->claimed = true;
  bus.Log(Format("claim %s -> %d", bridge.serial().c_str(), status));
  return status;
}

QVX_USB_EXPORT int libusb_release_interface(libusb_device_handle* handle, int) {
  if (handle == nullptr || !handle->claimed)
    return LIBUSB_ERROR_NOT_FOUND;
  auto& bus = TheBus();
  std::lock_guard lock(bus.mutex);
  handle->claimed = handle->bridge->claimed = false;
  bus.Log(Format("release %s", handle->bridge->serial().c_str()));
  return LIBUSB_SUCCESS;
}

QVX_USB_EXPORT int libusb_control_transfer(libusb_device_handle* handle, uint8_t request_type,
                                           uint8_t request, uint16_t value, uint16_t index,
                                           unsigned char* data, uint16_t length, unsigned int) {
  if (handle == nullptr)
    return LIBUSB_ERROR_INVALID_PARAM;
  auto& bus = TheBus();
  std::lock_guard lock(bus.mutex);
  Bridge& bridge = *handle->bridge;
  const bool to_host = (request_type & LIBUSB_ENDPOINT_IN) != 0;
  int status = LIBUSB_SUCCESS;
  if (bridge.gone()) {
    status = LIBUSB_ERROR_NO_DEVICE;
  } else if (to_host && data == nullptr && length > 0) {
    status = LIBUSB_ERROR_INVALID_PARAM;
  } else {
    const auto out = to_host || data == nullptr ? std::span<const uint8_t>()
                                                : std::span<const uint8_t>(data, length);
    const auto answer =
        bridge.chip.Control({request_type, request, value, index, length}, out, Clock::now());
    if (answer.stall) {
      status = LIBUSB_ERROR_PIPE;
    } else if (to_host) {
      std::copy(answer.data.begin(), answer.data.end(), data);
      status = static_cast<int>(answer.data.size());
    }
  }
  bus.Log(Format("control %02X %04X %04X -> %d", request, value, index, status));
  return status;
}

QVX_USB_EXPORT int libusb_bulk_transfer(libusb_device_handle* handle, unsigned char endpoint,
                                        unsigned char* data, int length, int* transferred,
                                        unsigned int timeout) {
  if (transferred != nullptr)
    *transferred = 0;
  if (handle == nullptr || data == nullptr || length < 0 || transferred == nullptr)
    return LIBUSB_ERROR_INVALID_PARAM;
  auto& bus = TheBus();
  std::unique_lock lock(bus.mutex);
  Bridge& bridge = *handle->bridge;
  if (bridge.gone())
    return LIBUSB_ERROR_NO_DEVICE;
  if (!handle->claimed)
    return LIBUSB_ERROR_NOT_FOUND;

  if (endpoint == ft245r::kEndpointOut) {
    const auto bytes = std::span<const uint8_t>(data, static_cast<size_t>(length));
    *transferred = static_cast<int>(bridge.chip.BulkOut(bytes));
    const int status = bridge.gone() ? LIBUSB_ERROR_NO_DEVICE : LIBUSB_SUCCESS;
    bus.Log(Format("bulk out %s -> %d %d", HexBytes(bytes).c_str(), status, *transferred));
    return status;
  }
  if (endpoint != ft245r::kEndpointIn)
    return LIBUSB_ERROR_PIPE;

  const auto asked = Clock::now();
  const auto ready = bridge.chip.InReadyAt(static_cast<size_t>(length), asked);
  const bool silent = bus.settings().silent_when_empty && bridge.generator().QueuedAnswers() == 0;
  const bool times_out =
      (timeout != 0 && ready > asked + std::chrono::milliseconds(timeout)) || silent;
  lock.unlock();
  std::this_thread::sleep_until(times_out ? asked + std::chrono::milliseconds(timeout) : ready);
  lock.lock();
  if (bridge.gone())
    return LIBUSB_ERROR_NO_DEVICE;
  if (times_out)
    return LIBUSB_ERROR_TIMEOUT;
  const auto packets = bridge.chip.TakeIn(static_cast<size_t>(length), Clock::now());
  std::copy(packets.begin(), packets.end(), data);
  *transferred = static_cast<int>(packets.size());
  if (packets.size() > ft245r::kStatusBytes)
    bus.Log(Format("bulk in -> 0 %zu %s", packets.size(), HexBytes(packets).c_str()));
  return LIBUSB_SUCCESS;
}

// The asynchronous interface libftdi imports for its *_submit calls, which the open library
// never uses: transfers can be made and freed, but not submitted.
QVX_USB_EXPORT libusb_transfer* libusb_alloc_transfer(int iso_packets) {
  const size_t size = sizeof(libusb_transfer) +
                      sizeof(libusb_iso_packet_descriptor) * static_cast<size_t>(iso_packets);
  return static_cast<libusb_transfer*>(std::calloc(1, size));
}

QVX_USB_EXPORT void libusb_free_transfer(libusb_transfer* transfer) {
  if (transfer != nullptr && (transfer->flags & LIBUSB_TRANSFER_FREE_BUFFER) != 0)
    std::free(transfer->buffer);
  std::free(transfer);
}

QVX_USB_EXPORT int libusb_submit_transfer(libusb_transfer*) {
  return LIBUSB_ERROR_NOT_SUPPORTED;
}

QVX_USB_EXPORT int libusb_cancel_transfer(libusb_transfer*) {
  return LIBUSB_ERROR_NOT_FOUND;
}

QVX_USB_EXPORT int libusb_handle_events_timeout(libusb_context*, struct timeval*) {
  return LIBUSB_SUCCESS;
}

QVX_USB_EXPORT int libusb_handle_events_timeout_completed(libusb_context*, struct timeval*,
                                                          int* completed) {
  if (completed != nullptr)
    *completed = 1;
  return LIBUSB_SUCCESS;
}
