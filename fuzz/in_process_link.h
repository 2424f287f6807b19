// The application's device link over a D2XX driver inside the fuzzing process: plain functions
// that take every write whole and answer every status poll "ready" at once, bound through the
// application's own Driver by a loader that finds them by name. For targets that exercise what
// the link carries rather than the generator at its far end. It is also their window and clock:
// nothing is shown and nothing waits.
#pragma once

#include <span>

#include "device/driver_table.h"
#include "device/library_loader.h"
#include "device/protocol.h"
#include "port/clock.h"
#include "port/message_log.h"
#include "tests/support/wire.h"

namespace qvx::fuzz {

class InProcessLink final : public MessageLog, public Clock, public LibraryLoader {
 public:
  // Binds the driver and connects, as the application does at start-up. One per process.
  InProcessLink();
  ~InProcessLink() override;
  InProcessLink(const InProcessLink&) = delete;
  InProcessLink& operator=(const InProcessLink&) = delete;

  DeviceLink& link() { return link_; }

  // The writes since the last ClearWrites, in order.
  std::span<const test::WireWrite> writes() const { return {writes_.data(), write_count_}; }
  void ClearWrites() { write_count_ = 0; }
  // Called by the driver's FT_Write.
  void Record(const void* buffer, d2xx::Dword count);

 private:
  // LibraryLoader: the functions of this process.
  void* Load() override { return this; }
  void* Find(void* library, const char* name) override;

  // Clock: nothing waits (and, as a MessageLog of none, nothing is shown or kept).
  void BusyPause() override {}
  void WaitSeconds(int32_t) override {}
  void WaitMilliseconds(int32_t) override {}
  std::chrono::milliseconds Now() override { return std::chrono::milliseconds(0); }
  void Idle() override {}

  Driver driver_;
  DeviceLink link_;
  std::vector<test::WireWrite> writes_;  // reused; the first write_count_ hold the writes
  size_t write_count_ = 0;
};

}  // namespace qvx::fuzz
