// The connection to the generator and its byte-command protocol: one-byte commands, 24-bit flash
// addresses of two-byte units sent most significant byte first, fixed-size data blocks, and the
// one-byte status answer. The host paces the generator with BusyPause and WaitSeconds.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <utility>

#include "device/driver_table.h"
#include "port/clock.h"
#include "port/window_port.h"

namespace qvx {

inline constexpr uint8_t CMD_BEGIN_LOAD = 0xF0;
inline constexpr uint8_t CMD_SET_ADDRESS = 0xF4;
inline constexpr uint8_t CMD_ERASE_SECTOR = 0xF6;
inline constexpr uint8_t CMD_WRITE_BLOCK = 0xF8;
inline constexpr uint8_t CMD_WRITE_PATTERN = 0xF9;
inline constexpr uint8_t CMD_READ_STATUS = 0xFD;
inline constexpr uint8_t CMD_FINISH_WRITE = 0xFE;
inline constexpr uint8_t CMD_END_LOAD = 0xFF;

// The USB description string of the generator's FTDI chip.
inline constexpr const char* DeviceDescription = "QVX5120I1";

inline constexpr size_t kBlockSize = 1536;         // every CMD_WRITE_BLOCK block
inline constexpr size_t kBlockPayload = 1440;      // meaningful bytes at most; the rest is zero
inline constexpr size_t kPatternSize = 2880;       // every CMD_WRITE_PATTERN payload
inline constexpr uint32_t kFlashUnits = 0x200000;  // two-byte address units of the whole flash

// Time-outs in milliseconds: while the device is being set up, then for the rest of the run.
inline constexpr d2xx::Dword kSetupTimeoutMs = 3000;
inline constexpr d2xx::Dword kReadTimeoutMs = 100;
inline constexpr d2xx::Dword kWriteTimeoutMs = 0;

// Status poll bounds: queue queries per poll, attempts per poll.
inline constexpr int kPollQueryBudget = 1000;
inline constexpr int kPollAttempts = 100000;
// A generator that sends no status byte at all for this long has stopped answering. One that
// answers "busy" is waited for within the attempt bound, however long it takes.
inline constexpr std::chrono::milliseconds kSilenceLimit{30'000};

// CMD_SET_ADDRESS with bits 23..16, 15..8 and 7..0 of the address; bits 31..24 are dropped.
std::array<uint8_t, 4> AddressCommand(uint32_t address);

// A device step that failed: the driver refused a write (the generator was unplugged, say) or a
// flash step never reported itself finished. `what` says which, for the user.
class DeviceFault : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class DeviceLink {
 public:
  DeviceLink(Driver& driver, Clock& clock, WindowPort& window)
      : driver_(driver), clock_(clock), window_(window) {}

  // Binds the driver, opens the generator (by its description, or by the serial number chosen
  // with OpenSerial) and sets the title and time-outs.
  void ConnectDevice();
  d2xx::Status OpenByDescription();
  // The next ConnectDevice opens the unit with this serial number; the rest of the start-up is
  // the same.
  void OpenSerial(std::string serial) { serial_ = std::move(serial); }
  d2xx::Status OpenBySerial();
  // The next ConnectDevice opens the unit plugged in at this location id instead (a station's
  // socket, whatever serial its unit carries).
  void OpenLocation(d2xx::Dword location) { location_ = location; }
  d2xx::Status OpenByLocation();
  bool connected() const { return connected_; }
  const std::string& description() const { return description_; }

  // Loading-mode brackets; both send nothing when not connected. SendEndLoad also sends nothing
  // once a write has failed in the current operation, since the link is then gone.
  void SendBeginLoad();
  void SendEndLoad();
  void SendFinishWrite();
  // Asks for the status until the generator answers a nonzero byte or the bounds are used up, and
  // lets the window repaint between attempts. Throws DeviceFault when no status byte at all
  // arrives for kSilenceLimit.
  uint8_t PollStatus();

  // One write of the bytes, as one stream. Throws DeviceFault when the driver does not take them
  // all.
  void Write(std::span<const uint8_t> bytes);
  void WriteCommand(uint8_t command);
  // CMD_SET_ADDRESS as one 4-byte write, then BusyPause.
  void SetAddress(uint32_t address);

  void BusyPause() { clock_.BusyPause(); }
  void WaitSeconds(int32_t n) { clock_.WaitSeconds(n); }

  // A new operation starts with a clean slate; `write_failed` tells whether a write failed since.
  void BeginOperation() { write_failed_ = false; }
  bool write_failed() const { return write_failed_; }

  // Empties the driver's receive buffer; the status is not examined.
  void PurgeReceive() { driver_.GuardedPurge(d2xx::FT_PURGE_RX); }

  Driver& driver() { return driver_; }
  WindowPort& window() { return window_; }

 private:
  Driver& driver_;
  Clock& clock_;
  WindowPort& window_;
  std::string description_;
  std::string serial_;
  std::optional<d2xx::Dword> location_;
  bool connected_ = false;
  bool write_failed_ = false;
};

}  // namespace qvx
