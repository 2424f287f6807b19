// One unit of the virtual generator as the host's D2XX calls see it: the open/close life of the USB
// device, the receive queue, the capture log of every call, the wire of accepted bytes and the
// injected faults. Each D2XX entry point maps to one member; nothing here locks: the caller
// serialises the calls on one unit. Nothing here blocks or sleeps: a read that must wait for its
// time-out, as FTDI's driver does, is told when to try again (ReadWaitsUntil) and does its waiting
// outside, without the unit's lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "device/d2xx.h"
#include "emulator/generator.h"
#include "emulator/opener_lock.h"
#include "emulator/options.h"

namespace qvx::vg {

// FT_GetLibraryVersion's and FT_GetDriverVersion's answer: the project's version.
inline constexpr d2xx::Dword kLibraryVersion = d2xx::VersionNumber(QVX_VERSION);

// Who a unit is and where it is plugged in.
struct UnitIdentity {
  std::string serial;
  // Names its flash file and capture log beside unit 1's (flash/flash_file.h): the serial number,
  // or for a unit whose serial number another attached unit already carries, the serial number
  // and its port path, so that each keeps a flash of its own.
  std::string files;
  d2xx::Dword location = 0;
};

// What FT_GetDeviceInfoDetail reports of one unit, taken when the list is made.
struct DeviceInfo {
  d2xx::Dword flags = 0;
  d2xx::Dword location = 0;
  std::string serial;
  // The attachment token (device/d2xx.h): the number of the unit's plug, never null.
  d2xx::Handle handle = nullptr;
};

class VirtualDevice {
 public:
  explicit VirtualDevice(UnitIdentity identity);

  // Closed device and fresh state, configured from the environment (see vg_control.h).
  void Reset();
  // The generator at power-on with its flash as Reset leaves it, the capture, wire and violations
  // emptied; an open handle stays open, and the options and time-outs stay as they are.
  void Restart();

  const UnitIdentity& identity() const { return identity_; }
  const std::string& serial() const { return identity_.serial; }
  // Behaves as if not attached (fail_open, or pulled); such a unit is not listed.
  bool absent() const { return faults_.fail_open || pulled_; }
  // With the "opened" flag when this process has it open, when QVX_VG_HELD names it, or when
  // another process holds its opener lock.
  DeviceInfo Info() const;

  // This plug's number, from 1 on, which the device information list gives as its attachment
  // token: every plug gets a new one.
  void SetPlug(uintptr_t number) { plug_ = number; }
  // The unit comes into this process's view now, unless it already has: a rack line appearing, or
  // for QVX_VG_UNITS's units the first listing or open. Opens are refused for open_refused_ms
  // from then.
  void SeenPlugged(SteadyTime now);

  // The unit is pulled out of its socket for good: from now on every call on its handle fails as
  // after unplug_after (its Close still succeeds), and it opens no more. It keeps nothing: its
  // opener lock and capture file are let go, and memory-only flash is handed back for the serial
  // number's next plug. Nothing for flash kept in a file, which holds it already.
  std::optional<NorFlash::Content> Pull();
  // Memory-only flash that a previous plug of this unit left (Pull).
  void AttachFlashContent(NorFlash::Content content) {
    generator_.flash().AttachContent(std::move(content));
  }
  bool flash_in_file() const { return generator_.flash().path().has_value(); }
  // The handle of the last open; the registry finds a unit by it without the unit's lock.
  d2xx::Handle handle() const { return handle_.load(); }
  // Some handle of this process has the unit open.
  bool open() const { return open_; }

  // `device_number` is the FT_Open device number the caller asked for; `wanted` says whether it
  // is this unit's. A unit another program holds, or one within open_refused_ms of its plug,
  // refuses with FT_DEVICE_NOT_OPENED, as FTDI's library refuses a device already open.
  d2xx::Status Open(int device_number, bool wanted, d2xx::Handle* handle);
  // By description (flag 2), by serial number (flag 1) or by location id (flag 4); any other
  // argument is not found, and nothing is when `listed` is false (this unit only logs the call).
  d2xx::Status OpenEx(void* arg, d2xx::Dword flags, bool listed, d2xx::Handle* handle);
  // Answers for all `listed` units (their serials in index order) and logs the call here.
  d2xx::Status ListDevices(void* arg1, void* arg2, d2xx::Dword flags,
                           std::span<const std::string> listed);
  // Log here the making of a device information list of `listed` units.
  d2xx::Status CreateDeviceInfoList(d2xx::Dword* count, size_t listed);
  // Entry `index` of the device information list `snapshot`, logged here.
  d2xx::Status GetDeviceInfoDetail(d2xx::Dword index, d2xx::Dword* flags, d2xx::Dword* type,
                                   d2xx::Dword* id, d2xx::Dword* location, void* serial,
                                   void* description, d2xx::Handle* handle,
                                   std::span<const DeviceInfo> snapshot);
  d2xx::Status Close(d2xx::Handle handle);
  d2xx::Status Read(d2xx::Handle handle, void* buffer, d2xx::Dword count, d2xx::Dword* received);
  // For a read of `count` bytes that began at `started`: the time to look again when fewer bytes
  // are queued and the read time-out has not run out yet; nothing when the read ends now.
  std::optional<SteadyTime> ReadWaitsUntil(d2xx::Handle handle, d2xx::Dword count,
                                           SteadyTime started) const;
  d2xx::Status Write(d2xx::Handle handle, const void* buffer, d2xx::Dword count,
                     d2xx::Dword* written);
  d2xx::Status ResetDevice(d2xx::Handle handle);
  d2xx::Status Purge(d2xx::Handle handle, d2xx::Dword mask);
  d2xx::Status SetTimeouts(d2xx::Handle handle, d2xx::Dword read_ms, d2xx::Dword write_ms);
  d2xx::Status GetQueueStatus(d2xx::Handle handle, d2xx::Dword* received);
  // The chip's latency timer is the emulated one (latency_ms), at most 255 ms as on the chip.
  d2xx::Status GetLatencyTimer(d2xx::Handle handle, unsigned char* milliseconds);
  d2xx::Status GetDriverVersion(d2xx::Handle handle, d2xx::Dword* version);

  // One of the options table's names (emulator/options.h); false for an unknown name.
  bool SetOption(std::string_view name, long long value);
  void SetStatusAnswers(std::span<const uint8_t> answers) {
    generator_.SetScriptedAnswers(answers);
  }
  void SetFlashFile(std::optional<std::string> path) { generator_.flash().Attach(std::move(path)); }

  std::span<const uint8_t> flash() const { return generator_.flash().image(); }
  std::span<const uint8_t> wire() const { return wire_; }
  const std::vector<std::string>& calls() const { return calls_; }
  const std::vector<std::string>& violations() const { return generator_.violations(); }
  bool loading() const { return generator_.loading(); }

 private:
  struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };

  bool IsOpen(d2xx::Handle handle) const { return open_ && handle == handle_.load(); }
  // The fault variables apply to every unit, or to QVX_VG_FAULT_UNIT's only.
  bool FaultsApplyHere() const;
  // The link is down: pulled, or past unplug_after's or the glitch's bytes since the open.
  bool Unplugged() const;
  // The bytes this open may still take before the link drops, or nothing for no limit.
  std::optional<uint64_t> ByteLimit() const;
  // Whether calls are logged (the log_calls option); callers skip formatting a line when not.
  bool logging() const { return log_calls_; }
  // The status a call with `handle` gets before it does anything: FT_INVALID_HANDLE unless this
  // unit is open under that handle, then FT_INVALID_PARAMETER unless `arguments_valid`, then, for
  // a call that goes over the link, FT_IO_ERROR once unplugged; FT_OK when it may go ahead.
  enum class Link { kUsed, kNotUsed };
  d2xx::Status CheckCall(d2xx::Handle handle, Link link = Link::kUsed) const {
    return CheckCallWith(handle, true, link);
  }
  d2xx::Status CheckCallWith(d2xx::Handle handle, bool arguments_valid,
                             Link link = Link::kUsed) const;
  d2xx::Status OpenDevice(bool wanted, d2xx::Handle* handle);
  void Log(std::string line);

  UnitIdentity identity_;
  Generator generator_;
  Faults faults_;
  bool log_calls_ = true;
  OpenerLock opener_lock_;
  std::vector<uint8_t> wire_;
  std::vector<std::string> calls_;
  std::optional<std::string> capture_path_;
  // Open while plugged in; a pulled unit appends each of its last few lines and closes the file,
  // so that units pulled long ago hold no files.
  std::unique_ptr<std::FILE, FileCloser> capture_file_;
  bool open_ = false;
  // The open handle: a value no other open in this process has had, so a handle kept after its
  // unit was closed and let go never reaches a unit made since.
  std::atomic<d2xx::Handle> handle_{nullptr};
  bool pulled_ = false;
  uint64_t accepted_since_open_ = 0;
  // The glitch (glitch_after) comes once per plug: spent once an open has reached its bytes.
  bool opened_before_ = false;
  bool glitch_spent_ = false;
  // Another program holds the unit (QVX_VG_HELD): listed as opened, never opened here.
  bool held_ = false;
  std::optional<SteadyTime> plugged_at_;
  uintptr_t plug_ = 0;
  // Set by FT_SetTimeouts; until then, and at 0, a read returns what is queued at once.
  d2xx::Dword read_timeout_ms_ = 0;
};

}  // namespace qvx::vg
