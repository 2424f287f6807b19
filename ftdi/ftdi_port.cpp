#include "ftdi/ftdi_port.h"

#include <algorithm>
#include <cstdio>

#include <libusb.h>

#include "ftdi/texts.h"

namespace qvx::ftdi {
namespace {

using d2xx::Dword;
using d2xx::Status;
using Clock = std::chrono::steady_clock;

// The chip holds received bytes until 64 have gathered or its latency timer runs out. The status
// poll waits for a single byte, so with the chip's default 16 ms every poll, and every empty
// queue query, would cost up to 16 ms; 2 ms keeps both short while still letting a full packet
// form during a stream.
constexpr unsigned char kLatencyTimerMs = 2;
// libftdi's bulk reads must outlast the latency timer, or an idle chip would look unplugged.
constexpr int kShortestUsbReadMs = 50;
constexpr int kDefaultUsbReadMs = 5000;
// An FTDI bridge answers every bulk read within its latency timer, with the two status bytes if
// nothing else (AN232B-04). One that leaves a read unanswered this long is something else (QEMU's
// emulated FTDI chip refuses reads while it has no data): every read the loader makes with
// nothing waiting would then end in libftdi's time-out, so the bridge is not opened.
constexpr int kProbeReadMs = 250;

struct ContextDeleter {
  void operator()(ftdi_context* context) const { ftdi_free(context); }
};
using Context = std::unique_ptr<ftdi_context, ContextDeleter>;

}  // namespace

std::unique_ptr<FtdiPort> FtdiPort::Open(const BridgeChoice& choice, Status& status) {
  Context context(ftdi_new());  // nullptr when libusb cannot start (no USB access)
  status = d2xx::FT_DEVICE_NOT_FOUND;
  if (!context)
    return nullptr;
  const BridgeList bridges(context.get());
  const std::optional<size_t> found = bridges.Find(choice);
  if (!found)
    return nullptr;
  // Detaches ftdi_sio, claims the interface, resets the chip and sets 9600 baud.
  if (ftdi_usb_open_dev(context.get(), bridges.device(*found)) < 0) {
    status = d2xx::FT_DEVICE_NOT_OPENED;
    return nullptr;
  }
  if (ftdi_set_latency_timer(context.get(), kLatencyTimerMs) < 0) {
    ftdi_usb_close(context.get());
    status = d2xx::FT_IO_ERROR;
    return nullptr;
  }
  std::unique_ptr<FtdiPort> port(new FtdiPort(context.release()));
  port->location_ = bridges.Location(*found);
  port->context_->usb_read_timeout = kProbeReadMs;
  if (!port->reader_.Fill()) {
    // Handed back to the kernel's driver, if it had one, as it was found.
    libusb_release_interface(port->context_->usb_dev, 0);
    libusb_attach_kernel_driver(port->context_->usb_dev, 0);
    const auto strings = bridges.Strings(*found);
    std::fprintf(stderr, kOpenDriverUnansweredReadText, strings ? strings->serial.c_str() : "?",
                 kProbeReadMs, kLatencyTimerMs);
    status = d2xx::FT_DEVICE_NOT_OPENED;
    return nullptr;
  }
  port->context_->usb_read_timeout = kDefaultUsbReadMs;
  status = d2xx::FT_OK;
  return port;
}

FtdiPort::~FtdiPort() {
  ftdi_usb_close(context_);
  ftdi_free(context_);
}

Status FtdiPort::Read(uint8_t* buffer, Dword count, Dword& received) {
  const bool forever = read_timeout_ms_ == 0;
  const auto deadline = Clock::now() + std::chrono::milliseconds(read_timeout_ms_);
  return reader_.Read(buffer, count, received,
                      [&] { return !forever && Clock::now() >= deadline; });
}

Status FtdiPort::Write(const uint8_t* buffer, Dword count, Dword& written) {
  written = 0;
  if (count == 0)
    return d2xx::FT_OK;
  const int sent = ftdi_write_data(context_, buffer, static_cast<int>(count));
  if (sent < 0)
    return d2xx::FT_IO_ERROR;
  written = static_cast<Dword>(sent);
  return written == count ? d2xx::FT_OK : d2xx::FT_IO_ERROR;
}

Status FtdiPort::Reset() {
  reader_.Clear();
  return ftdi_usb_reset(context_) < 0 ? d2xx::FT_IO_ERROR : d2xx::FT_OK;
}

Status FtdiPort::Purge(Dword mask) {
  bool ok = true;
  if ((mask & d2xx::FT_PURGE_RX) != 0)
    ok = reader_.Purge();
  if ((mask & d2xx::FT_PURGE_TX) != 0)
    ok = ftdi_tcoflush(context_) >= 0 && ok;
  return ok ? d2xx::FT_OK : d2xx::FT_IO_ERROR;
}

Status FtdiPort::SetTimeouts(Dword read_ms, Dword write_ms) {
  read_timeout_ms_ = read_ms;
  // Each bulk read ends within the latency timer on a live chip; this bounds a stalled one.
  context_->usb_read_timeout =
      read_ms == 0 ? kDefaultUsbReadMs
                   : static_cast<int>(std::clamp<Dword>(read_ms, kShortestUsbReadMs, 1u << 30));
  // libusb also takes 0 as "no time-out", as D2XX does.
  context_->usb_write_timeout = static_cast<int>(std::min<Dword>(write_ms, 1u << 30));
  return d2xx::FT_OK;
}

Status FtdiPort::QueueStatus(Dword& waiting) {
  return reader_.QueueStatus(waiting);
}

Status FtdiPort::LatencyTimer(unsigned char& milliseconds) {
  return ftdi_get_latency_timer(context_, &milliseconds) < 0 ? d2xx::FT_IO_ERROR : d2xx::FT_OK;
}

std::optional<size_t> CountBridges() {
  Context context(ftdi_new());
  if (!context)
    return std::nullopt;
  return BridgeList(context.get()).size();
}

std::optional<BridgeStrings> BridgeStringsAt(size_t index) {
  Context context(ftdi_new());
  if (!context)
    return std::nullopt;
  return BridgeList(context.get()).Strings(index);
}

namespace {

// D2XX's FT_DEVICE type of a chip, which FTDI's chips tell by their bcdDevice.
Dword DeviceType(uint16_t bcd_device) {
  constexpr std::pair<uint16_t, Dword> kTypes[] = {{0x0200, 1}, {0x0400, 0}, {0x0500, 4},
                                                   {0x0600, 5}, {0x0700, 6}, {0x0800, 7},
                                                   {0x0900, 8}, {0x1000, 9}};
  for (const auto& [bcd, type] : kTypes) {
    if (bcd == bcd_device)
      return type;
  }
  return 3;  // FT_DEVICE_UNKNOWN
}

}  // namespace

std::optional<std::vector<ListedBridge>> ListBridges() {
  Context context(ftdi_new());
  if (!context)
    return std::nullopt;
  const BridgeList bridges(context.get());
  std::vector<ListedBridge> listed;
  for (size_t i = 0; i < bridges.size(); ++i) {
    ListedBridge bridge{bridges.Strings(i).value_or(BridgeStrings{}),
                        bridges.Location(i).value_or(0)};
    const libusb_device_descriptor& descriptor = bridges.descriptor(i);
    bridge.type = DeviceType(descriptor.bcdDevice);
    bridge.id = Dword{descriptor.idVendor} << 16 | descriptor.idProduct;
    const Attachment attachment = AttachmentOf(bridges.device(i));
    bridge.token = AttachmentToken(attachment);
    bridge.claimed = ClaimedThroughUsbfs(attachment);
    listed.push_back(std::move(bridge));
  }
  return listed;
}

}  // namespace qvx::ftdi
