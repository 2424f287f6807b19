// A test double of libusb-1.0, loaded under the real libftdi1 through the library search path
// (its SONAME is libusb-1.0.so.0). It provides every libusb function libftdi1 imports and answers
// them as a bus with FT245R-type bridges in front of the generator model would, so the open
// libftd2xx.so can be run end to end through libftdi's own code.
//
// Environment, read at the first call and at every VG_Reset:
//   QVX_USB_DEVICES=n       bridges attached: 0, 1 (default) or 2 (serials QVX00001, QVX00002,
//                           both described "QVX5120I1")
//   QVX_USB_INIT_FAILS=1    libusb_init fails, as without /dev/bus/usb
//   QVX_USB_MUTE=1          the generator never answers a status poll
//   QVX_USB_UNPLUG_AFTER=n  each bridge takes n bulk-out bytes, then is gone (transfers fail with
//                           LIBUSB_ERROR_NO_DEVICE and it leaves the device list)
//   QVX_VG_FLASH=path       the first bridge keeps its flash in this file ("none": in memory)
//
// Bulk-in reads with nothing to send wait out the chip's latency timer before they return the
// two status bytes, as the chip does; every other call answers at once.
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

namespace {

constexpr uint16_t kVendorFtdi = 0x0403;
constexpr uint16_t kProductFt245r = 0x6001;
constexpr uint16_t kChipRevisionR = 0x0600;  // bcdDevice by which libftdi knows an R-type chip
constexpr uint8_t kEndpointIn = 0x81;
constexpr uint8_t kEndpointOut = 0x02;
constexpr uint16_t kMaxPacket = 64;
constexpr const char* kManufacturer = "FTDI";
constexpr const char* kProduct = "QVX5120I1";

// FTDI's vendor requests.
constexpr uint8_t kRequestReset = 0x00;
constexpr uint8_t kRequestPollModemStatus = 0x05;
constexpr uint8_t kRequestSetLatency = 0x09;
constexpr uint8_t kRequestGetLatency = 0x0A;
constexpr uint16_t kResetChip = 0;
constexpr uint16_t kFlushToHost = 2;  // what libftdi's tciflush sends

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
  for (auto& bridge : bus.bridges()) {
    if (!bridge->unplugged)
      present.push_back(DeviceOf(*bridge));
  }
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
  *descriptor = libusb_device_descriptor{};
  descriptor->bLength = LIBUSB_DT_DEVICE_SIZE;
  descriptor->bDescriptorType = LIBUSB_DT_DEVICE;
  descriptor->bcdUSB = 0x0200;
  descriptor->bMaxPacketSize0 = 8;
  descriptor->idVendor = kVendorFtdi;
  descriptor->idProduct = kProductFt245r;
  descriptor->bcdDevice = kChipRevisionR;
  descriptor->iManufacturer = 1;
  descriptor->iProduct = 2;
  descriptor->iSerialNumber = 3;
  descriptor->bNumConfigurations = 1;
  return LIBUSB_SUCCESS;
}

QVX_USB_EXPORT int libusb_get_config_descriptor(libusb_device* device, uint8_t index,
                                                libusb_config_descriptor** config) {
  if (device == nullptr || config == nullptr || index != 0)
    return LIBUSB_ERROR_NOT_FOUND;
  auto* block = new ConfigBlock;
  for (int i = 0; i < 2; ++i) {
    auto& endpoint = block->endpoints[i];
    endpoint.bLength = LIBUSB_DT_ENDPOINT_SIZE;
    endpoint.bDescriptorType = LIBUSB_DT_ENDPOINT;
    endpoint.bEndpointAddress = i == 0 ? kEndpointIn : kEndpointOut;
    endpoint.bmAttributes = LIBUSB_TRANSFER_TYPE_BULK;
    endpoint.wMaxPacketSize = kMaxPacket;
  }
  block->setting.bLength = LIBUSB_DT_INTERFACE_SIZE;
  block->setting.bDescriptorType = LIBUSB_DT_INTERFACE;
  block->setting.bNumEndpoints = 2;
  block->setting.bInterfaceClass = LIBUSB_CLASS_VENDOR_SPEC;
  block->setting.endpoint = block->endpoints;
  block->interface.altsetting = &block->setting;
  block->interface.num_altsetting = 1;
  block->config.bLength = LIBUSB_DT_CONFIG_SIZE;
  block->config.bDescriptorType = LIBUSB_DT_CONFIG;
  block->config.bNumInterfaces = 1;
  block->config.bConfigurationValue = 1;
  block->config.MaxPower = 45;
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

QVX_USB_EXPORT uint8_t libusb_get_device_address(libusb_device* device) {
  auto& bus = TheBus();
  std::lock_guard lock(bus.mutex);
  for (size_t i = 0; i < bus.bridges().size(); ++i) {
    if (device != nullptr && bus.bridges()[i].get() == device->bridge)
      return static_cast<uint8_t>(2 + i);
  }
  return 0;
}

QVX_USB_EXPORT int libusb_open(libusb_device* device, libusb_device_handle** handle) {
  if (device == nullptr || handle == nullptr)
    return LIBUSB_ERROR_INVALID_PARAM;
  auto& bus = TheBus();
  std::lock_guard lock(bus.mutex);
  if (device->bridge->unplugged)
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
  if (handle->bridge->unplugged)
    return LIBUSB_ERROR_NO_DEVICE;
  std::string text;
  switch (index) {
    case 1:
      text = kManufacturer;
      break;
    case 2:
      text = kProduct;
      break;
    case 3:
      text = handle->bridge->serial;
      break;
    default:
      return LIBUSB_ERROR_PIPE;  // the device stalls a request for a string it lacks
  }
  const size_t copied = std::min(text.size(), static_cast<size_t>(length - 1));
  std::memcpy(data, text.data(), copied);
  data[copied] = '\0';
  return static_cast<int>(copied);
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
  if (bridge.unplugged)
    status = LIBUSB_ERROR_NO_DEVICE;
  else if (bridge.claimed && !handle->claimed)
    status = LIBUSB_ERROR_BUSY;
  else
    bridge.claimed = handle->claimed = true;
  bus.Log(Format("claim %s -> %d", bridge.serial.c_str(), status));
  return status;
}

QVX_USB_EXPORT int libusb_release_interface(libusb_device_handle* handle, int) {
  if (handle == nullptr || !handle->claimed)
    return LIBUSB_ERROR_NOT_FOUND;
  auto& bus = TheBus();
  std::lock_guard lock(bus.mutex);
  handle->claimed = handle->bridge->claimed = false;
  bus.Log(Format("release %s", handle->bridge->serial.c_str()));
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
  if (bridge.unplugged) {
    status = LIBUSB_ERROR_NO_DEVICE;
  } else if ((request_type & LIBUSB_REQUEST_TYPE_VENDOR) == 0 || (to_host && data == nullptr)) {
    status = LIBUSB_ERROR_PIPE;
  } else if (request == kRequestReset) {
    // A chip reset empties both FIFOs; the flush towards the host empties the one with answers.
    if (value == kResetChip || value == kFlushToHost)
      bridge.generator.ClearAnswers();
  } else if (request == kRequestSetLatency) {
    bridge.latency_ms = value & 0xFF;
  } else if (request == kRequestGetLatency && length >= 1) {
    data[0] = static_cast<unsigned char>(bridge.latency_ms);
    status = 1;
  } else if (request == kRequestPollModemStatus && length >= 2) {
    data[0] = qvx::usbdouble::kModemStatus;
    data[1] = qvx::usbdouble::kLineStatus;
    status = 2;
  } else if (request > 0x0B) {
    status = LIBUSB_ERROR_PIPE;  // EEPROM and other requests this double does not model
  }
  // Baud rate, line and flow settings, event characters and bit modes are taken as they come.
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
  if (bridge.unplugged)
    return LIBUSB_ERROR_NO_DEVICE;
  if (!handle->claimed)
    return LIBUSB_ERROR_NOT_FOUND;

  if (endpoint == kEndpointOut) {
    const auto bytes = std::span<const uint8_t>(data, static_cast<size_t>(length));
    const int status = bus.TakeBytes(bridge, bytes, *transferred);
    bus.Log(Format("bulk out %s -> %d %d", HexBytes(bytes).c_str(), status, *transferred));
    return status;
  }
  if (endpoint != kEndpointIn)
    return LIBUSB_ERROR_PIPE;

  if (bridge.generator.QueuedAnswers() == 0) {
    // Nothing to send: the chip answers when its latency timer runs out.
    unsigned wait_ms = bridge.latency_ms;
    if (timeout != 0)
      wait_ms = std::min(wait_ms, timeout);
    lock.unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(wait_ms));
    lock.lock();
    if (bridge.unplugged)
      return LIBUSB_ERROR_NO_DEVICE;
  }
  const auto packets = bus.Packets(bridge, static_cast<size_t>(length));
  std::copy(packets.begin(), packets.end(), data);
  *transferred = static_cast<int>(packets.size());
  if (packets.size() > 2)
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
