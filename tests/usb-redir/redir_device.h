// One FT245R-type bridge with the generator behind it, offered to a QEMU guest over the usbredir
// protocol: this is the "usb-host" side of QEMU's usb-redir device, with the chip model
// (tests/ft245r/) in place of a real device. The guest's xHCI controller, kernel and libusb talk
// to it as to a full-speed FTDI chip: descriptors and vendor requests on endpoint 0, bulk out into
// the generator, bulk in completed when the chip would complete it.
//
// QEMU forwards each guest transfer as one packet and waits for its answer, so a bulk-in transfer
// that the chip would hold until its latency timer runs out is answered later from Poll(); the
// caller must keep reading the stream meanwhile, or QEMU stalls.
#pragma once

#include <usbredirparser.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>

#include "tests/ft245r/ft245r_bridge.h"

namespace qvx::usbredir {

class RedirDevice {
 public:
  // `fd` is the connected, non-blocking stream socket; `log` receives one line per transfer.
  RedirDevice(int fd, ft245r::Identity identity, std::function<void(const std::string&)> log);
  ~RedirDevice();
  RedirDevice(const RedirDevice&) = delete;
  RedirDevice& operator=(const RedirDevice&) = delete;

  ft245r::Bridge& chip() { return chip_; }

  // Reads what the peer sent and handles it; false once the stream is closed or broken.
  bool Read();
  // Answers the bulk-in transfers that are due and writes what is queued; false once the stream
  // is broken.
  bool Poll();
  // When Poll has something to do next: the first pending bulk-in transfer's completion.
  std::optional<ft245r::Time> NextDue() const;
  bool WantsWrite() const;
  // The chip was pulled (its unplug limit was reached): the stream is to be dropped.
  bool gone() const { return chip_.gone(); }

 private:
  struct PendingIn {
    uint64_t id;
    uint8_t endpoint;
    uint32_t length;
  };

  static RedirDevice& Of(void* priv) { return *static_cast<RedirDevice*>(priv); }
  void Connect();
  void OnControl(uint64_t id, usb_redir_control_packet_header* header, uint8_t* data, int length);
  void OnBulk(uint64_t id, usb_redir_bulk_packet_header* header, uint8_t* data, int length);
  void OnCancel(uint64_t id);
  void Log(const std::string& line);

  int fd_;
  ft245r::Bridge chip_;
  std::function<void(const std::string&)> log_;
  usbredirparser* parser_ = nullptr;
  std::deque<PendingIn> pending_in_;
  bool broken_ = false;
};

}  // namespace qvx::usbredir
