// The receiving half of an opened bridge: the payload of the chip's bulk-in packets, which
// libftdi's ftdi_read_data hands over with the two modem-status bytes at the head of every packet
// stripped, kept in a queue of our own (libftdi has no "bytes waiting" call), and the reads, queue
// queries and purges that work on it. Its own unit, so that the fuzz target can drive it with
// bytes as libusb would hand them in.
#pragma once

#include <ftdi.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "device/d2xx.h"

namespace qvx::ftdi {

class UsbReader {
 public:
  explicit UsbReader(ftdi_context* context) : context_(context) {}

  // Takes up to `count` bytes into `buffer`, moving what the chip holds into the queue while
  // fewer are queued, until USB fails or `expired` (asked after each fill) says the read
  // time-out has passed. Never more than `count` bytes, and none past them in `buffer`.
  d2xx::Status Read(uint8_t* buffer, d2xx::Dword count, d2xx::Dword& received,
                    const std::function<bool()>& expired);
  // Moves what the chip holds into the queue, then tells how many bytes are queued.
  d2xx::Status QueueStatus(d2xx::Dword& waiting);
  // Drops the queue, libftdi's buffer and the chip's own receive buffer. False when USB failed.
  bool Purge();
  // Drops the queue only (the chip is being reset).
  void Clear();
  // Moves what one bulk transfer brings into the queue, losing nothing (the chip answers every
  // bulk read within its latency timer). False when USB failed or the read timed out.
  bool Fill();

 private:
  size_t queued() const { return queue_.size() - head_; }

  ftdi_context* context_;
  // The queue is queue_[head_..]: reads move head_ on, and the bytes before it are dropped once
  // everything is read or they grow many.
  std::vector<uint8_t> queue_;
  size_t head_ = 0;
};

}  // namespace qvx::ftdi
