// One unit of the virtual generator as the host's D2XX calls see it: the open/close life of the USB
// device, the receive queue, the capture log of every call, the wire of accepted bytes and the
// injected faults. Each D2XX entry point maps to one member; nothing here locks: the caller
// serialises the calls on one unit. Nothing here blocks or sleeps: a read that must wait for its
// time-out, as FTDI's driver does, is told when to try again (ReadWaitsUntil) and does its waiting
// outside, without the unit's lock.
#pragma once

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

class VirtualDevice {
 public:
  // Unit `index` (0-based) of the attached generators.
  explicit VirtualDevice(int index = 0);

  // Closed device and fresh state, configured from the environment (see vg_control.h).
  void Reset();
  // The generator at power-on with its flash as Reset leaves it, the capture, wire and violations
  // emptied; an open handle stays open, and the options and time-outs stay as they are.
  void Restart();

  int index() const { return index_; }
  const std::string& serial() const { return serial_; }
  // Behaves as if not attached (fail_open); such a unit is not listed.
  bool absent() const { return faults_.fail_open; }

  // `index` is the FT_Open device number the caller chose this unit for; only this unit's own
  // number opens it.
  d2xx::Status Open(int index, d2xx::Handle* handle);
  // By description (flag 2) or by serial number (flag 1); any other argument is not found.
  d2xx::Status OpenEx(void* arg, d2xx::Dword flags, d2xx::Handle* handle);
  // Answers for all `listed` units (their serials in index order) and logs the call here.
  d2xx::Status ListDevices(void* arg1, void* arg2, d2xx::Dword flags,
                           std::span<const std::string> listed);
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

  bool IsOpen(d2xx::Handle handle) const { return open_ && handle == this; }
  // The fault variables apply to every unit, or to QVX_VG_FAULT_UNIT's only.
  bool FaultsApplyHere() const;
  bool Unplugged() const;
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

  int index_;
  std::string serial_;
  Generator generator_;
  Faults faults_;
  bool log_calls_ = true;
  OpenerLock opener_lock_;
  std::vector<uint8_t> wire_;
  std::vector<std::string> calls_;
  std::unique_ptr<std::FILE, FileCloser> capture_file_;
  bool open_ = false;
  uint64_t accepted_since_open_ = 0;
  // Set by FT_SetTimeouts; until then, and at 0, a read returns what is queued at once.
  d2xx::Dword read_timeout_ms_ = 0;
};

}  // namespace qvx::vg
