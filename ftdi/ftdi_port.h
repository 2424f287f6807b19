// One opened FTDI bridge with D2XX behaviour on top of libftdi: a receive queue of its own (libftdi
// has no "bytes waiting" call, see usb_reader.h), reads that block until the bytes asked for
// arrive or the read time-out passes, and D2XX statuses for every outcome.
#pragma once

#include <ftdi.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "device/d2xx.h"
#include "ftdi/bridge_search.h"
#include "ftdi/usb_reader.h"

namespace qvx::ftdi {

class FtdiPort {
 public:
  // Opens the bridge that matches `choice`; `status` says why when the result is empty.
  static std::unique_ptr<FtdiPort> Open(const BridgeChoice& choice, d2xx::Status& status);
  ~FtdiPort();
  FtdiPort(const FtdiPort&) = delete;
  FtdiPort& operator=(const FtdiPort&) = delete;

  d2xx::Status Read(uint8_t* buffer, d2xx::Dword count, d2xx::Dword& received);
  d2xx::Status Write(const uint8_t* buffer, d2xx::Dword count, d2xx::Dword& written);
  d2xx::Status Reset();
  d2xx::Status Purge(d2xx::Dword mask);
  d2xx::Status SetTimeouts(d2xx::Dword read_ms, d2xx::Dword write_ms);
  d2xx::Status QueueStatus(d2xx::Dword& waiting);
  d2xx::Status LatencyTimer(unsigned char& milliseconds);

  // Calls on one handle from several threads take turns.
  std::mutex& mutex() { return mutex_; }
  // Where the bridge was plugged in when it was opened.
  std::optional<d2xx::Dword> location() const { return location_; }

 private:
  explicit FtdiPort(ftdi_context* context) : context_(context), reader_(context) {}

  ftdi_context* context_;
  std::optional<d2xx::Dword> location_;
  UsbReader reader_;
  d2xx::Dword read_timeout_ms_ = 0;  // 0: wait for ever, as D2XX does
  std::mutex mutex_;
};

// The number of attached bridges, and one bridge's strings, each from a fresh enumeration.
// Nothing when libusb cannot be started.
std::optional<size_t> CountBridges();
std::optional<BridgeStrings> BridgeStringsAt(size_t index);

// One bridge of a listing: its strings (empty when they cannot be read), its location id (0 when
// it has none), FT_GetDeviceInfoDetail's type and id (vendor and product), and the token of its
// attachment, and whether a program holds it.
struct ListedBridge {
  BridgeStrings strings;
  d2xx::Dword location = 0;
  d2xx::Dword type = 0;
  d2xx::Dword id = 0;
  d2xx::Handle token = nullptr;
  bool claimed = false;  // a program holds it (ClaimedThroughUsbfs)
};
// Every attached bridge, from a fresh enumeration; nothing when libusb cannot be started.
std::optional<std::vector<ListedBridge>> ListBridges();

}  // namespace qvx::ftdi
