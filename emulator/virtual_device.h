// The generator as the host's D2XX calls see it: the open/close life of the USB device, the
// receive queue, the capture log of every call, the wire of accepted bytes and the injected
// faults. Each D2XX entry point maps to one member. Nothing here blocks or sleeps: a read that
// must wait for its time-out, as FTDI's driver does, is told when to try again (ReadWaitsUntil)
// and does its waiting outside, without the device's lock.
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

namespace qvx::vg {

struct Faults {
  bool fail_open = false;
  long long unplug_after = -1;  // bytes accepted after each open; -1 = never unplugged
};

class VirtualDevice {
 public:
  VirtualDevice();

  // Closed device and fresh state, configured from the environment (see vg_control.h).
  void Reset();

  d2xx::Status Open(int index, d2xx::Handle* handle);
  d2xx::Status OpenEx(void* arg, d2xx::Dword flags, d2xx::Handle* handle);
  d2xx::Status ListDevices(void* arg1, void* arg2, d2xx::Dword flags);
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

  // Returns false for an unknown option name.
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
  bool Unplugged() const;
  d2xx::Status OpenDevice(bool wanted, d2xx::Handle* handle);
  void Log(std::string line);

  Generator generator_;
  Faults faults_;
  std::vector<uint8_t> wire_;
  std::vector<std::string> calls_;
  std::unique_ptr<std::FILE, FileCloser> capture_file_;
  bool open_ = false;
  uint64_t accepted_since_open_ = 0;
  // Set by FT_SetTimeouts; until then, and at 0, a read returns what is queued at once.
  d2xx::Dword read_timeout_ms_ = 0;
};

}  // namespace qvx::vg
