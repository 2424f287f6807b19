// An FT245R-type USB FIFO bridge with the generator behind it, as the USB host sees it: its
// descriptors, the standard and FTDI vendor requests on endpoint 0, bulk-out bytes into the
// generator, and bulk-in transfers framed and timed as the chip frames and times them. The test
// doubles of the USB link are built on it: the libusb double (tests/usb-double/) under the real
// libftdi1, and the usbredir unit (tests/usb-redir/) that a QEMU guest reaches through its xHCI
// controller. Time is always passed in, so the timing rules can be checked without waiting.
//
// Where each behaviour comes from:
// - Descriptors: the FT245R datasheet (DS_FT245R, section "USB device descriptors"; full speed,
//   vendor 0403, product 6001, bcdDevice 0600 for the R series, one vendor-specific interface with
//   bulk endpoints 0x81 and 0x02 of 64 bytes, 90 mA bus power, remote wake-up). libftdi and the
//   kernel's ftdi_sio tell the chip type by bcdDevice.
// - Vendor requests: FTDI's AN232B-04 ("Data Throughput, Latency and Handshaking"; latency timer,
//   status bytes) and the request numbers both libftdi (ftdi.h, SIO_*) and Linux (ftdi_sio.h) use:
//   0x00 reset/purge, 0x01 modem control, 0x02 flow control, 0x03 baud rate, 0x04 data
//   characteristics, 0x05 poll modem status, 0x06 event character, 0x07 error character, 0x09/0x0A
//   set/get latency timer, 0x0B bit mode. The line settings mean nothing to a FIFO chip and are
//   taken without effect. EEPROM requests (0x90 to 0x92) and pin reads (0x0C) are stalled: the
//   generator's EEPROM content is not known here (ftdi_sio, which reads the CBUS configuration
//   from the EEPROM of an R-series chip, then logs "GPIO initialisation failed" and binds anyway).
// - Bulk in (AN232B-04, sections 3 and 4): every 64-byte packet starts with two status bytes
//   (modem status, line status). The chip sends a packet when 62 data bytes fill it, or when the
//   latency timer (default 16 ms, set with 0x09) runs out, counted from the last packet it sent;
//   with nothing to send it still sends the two status bytes each latency period. A short packet
//   ends the host's transfer; a full one does not.
// - Purge: value 1 empties the chip's receive buffer (host to chip), value 2 its transmit buffer
//   (chip to host), value 0 resets the chip and empties both (libftdi's SIO_RESET_* and
//   SIO_TCIFLUSH/SIO_TCOFLUSH; bytes taken from the host reach the generator at once here, so only
//   the transmit side holds anything).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "emulator/generator.h"

namespace qvx::ft245r {

using Time = std::chrono::steady_clock::time_point;

inline constexpr uint16_t kVendorFtdi = 0x0403;
inline constexpr uint16_t kProductFt245r = 0x6001;
inline constexpr uint16_t kChipRevisionR = 0x0600;
inline constexpr uint8_t kEndpointIn = 0x81;
inline constexpr uint8_t kEndpointOut = 0x02;
inline constexpr uint8_t kControlPacket = 8;  // bMaxPacketSize0
inline constexpr size_t kPacketSize = 64;     // wMaxPacketSize of both bulk endpoints
inline constexpr size_t kStatusBytes = 2;
inline constexpr unsigned kDefaultLatencyMs = 16;

// Modem status and line status as an idle FT245R reports them: the low nibble of the modem
// status reads 0001, and the line status has the transmitter holding register and the transmitter
// empty (0x20 | 0x40).
inline constexpr uint8_t kModemStatus = 0x01;
inline constexpr uint8_t kLineStatus = 0x60;

// FTDI's vendor requests (bRequest).
inline constexpr uint8_t kRequestReset = 0x00;
inline constexpr uint8_t kRequestModemControl = 0x01;
inline constexpr uint8_t kRequestSetFlowControl = 0x02;
inline constexpr uint8_t kRequestSetBaudRate = 0x03;
inline constexpr uint8_t kRequestSetData = 0x04;
inline constexpr uint8_t kRequestPollModemStatus = 0x05;
inline constexpr uint8_t kRequestSetEventChar = 0x06;
inline constexpr uint8_t kRequestSetErrorChar = 0x07;
inline constexpr uint8_t kRequestSetLatency = 0x09;
inline constexpr uint8_t kRequestGetLatency = 0x0A;
inline constexpr uint8_t kRequestSetBitMode = 0x0B;
// wValue of kRequestReset.
inline constexpr uint16_t kResetChip = 0;
inline constexpr uint16_t kPurgeReceive = 1;   // host-to-chip buffer
inline constexpr uint16_t kPurgeTransmit = 2;  // chip-to-host buffer: libftdi's tciflush

// What tells one bridge from another on the bus.
struct Identity {
  uint16_t product_id = kProductFt245r;
  std::string manufacturer = "FTDI";
  std::string product = "QVX5120I1";
  std::string serial;
};

// The descriptors as the chip sends them for GET_DESCRIPTOR.
std::vector<uint8_t> DeviceDescriptor(const Identity& identity);
// The configuration with its interface and both endpoints (wTotalLength 32).
std::vector<uint8_t> ConfigurationDescriptor();
// String `index` in US English (index 0: the language list); nothing for an absent string.
std::optional<std::vector<uint8_t>> StringDescriptor(const Identity& identity, uint8_t index);

// A control transfer's setup packet.
struct Setup {
  uint8_t request_type = 0;
  uint8_t request = 0;
  uint16_t value = 0;
  uint16_t index = 0;
  uint16_t length = 0;
};

// The device's answer: a stall, or the data stage (empty for requests without one).
struct ControlAnswer {
  bool stall = false;
  std::vector<uint8_t> data;
};

class Bridge {
 public:
  explicit Bridge(Identity identity);

  const Identity& identity() const { return identity_; }
  vg::Generator& generator() { return generator_; }
  const vg::Generator& generator() const { return generator_; }

  // A USB reset or power-on at `now`: both buffers empty, latency timer at its default,
  // configuration 0. The generator and its flash are untouched.
  void BusReset(Time now);

  // Standard requests (descriptors, status, features, configuration) and FTDI's vendor requests.
  ControlAnswer Control(const Setup& setup, std::span<const uint8_t> data, Time now);
  uint8_t configuration() const { return configuration_; }
  // False for a configuration the chip does not have.
  bool SetConfiguration(uint8_t value);

  // After this many bulk-out bytes the bridge is gone, as when the cable is pulled; -1: never.
  void SetUnplugAfter(long long bytes) { unplug_after_ = bytes; }
  // Bulk out: hands the bytes to the generator. Returns how many it took: fewer than offered once
  // the unplug limit is reached, and the bridge is then gone.
  size_t BulkOut(std::span<const uint8_t> bytes);
  bool gone() const { return gone_; }
  // Every byte the generator took, in order.
  const std::vector<uint8_t>& wire() const { return wire_; }
  // The generator at power-on with the flash written since it was loaded erased again, the wire
  // and the unplug count emptied; the USB side (configuration, latency timer) is kept.
  void RestartGenerator() {
    generator_.Restart();
    generator_.flash().Restore();
    wire_.clear();
    accepted_ = 0;
  }

  // When a bulk-in transfer of `length` bytes asked for at `now` completes: at once when the data
  // waiting fills it with full packets, otherwise when the latency timer runs out.
  Time InReadyAt(size_t length, Time now) const;
  // The transfer's bytes at `now` (call at or after InReadyAt): packets of two status bytes and up
  // to 62 data bytes, ending with a short packet unless the transfer is filled. Restarts the
  // latency timer.
  std::vector<uint8_t> TakeIn(size_t length, Time now);
  unsigned latency_ms() const { return latency_ms_; }

 private:
  ControlAnswer Standard(const Setup& setup);
  ControlAnswer Vendor(const Setup& setup, Time now);

  Identity identity_;
  vg::Generator generator_;
  std::vector<uint8_t> wire_;
  uint64_t accepted_ = 0;
  long long unplug_after_ = -1;
  bool gone_ = false;
  uint8_t configuration_ = 0;
  unsigned latency_ms_ = kDefaultLatencyMs;
  Time last_packet_{};
};

}  // namespace qvx::ft245r
