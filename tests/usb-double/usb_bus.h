// The USB bus the libusb test double presents: zero, one or two FT245R-type FIFO bridges (vendor
// 0403, product 6001), each with the generator behind it. A bridge takes bulk-out bytes into its
// generator and hands the generator's answers to bulk-in reads framed as the chip frames them.
// Everything the double does is logged in one capture, one line per transfer.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "emulator/generator.h"

namespace qvx::usbdouble {

// Modem status and line status as an idle FT245R reports them, first in every bulk-in packet.
inline constexpr uint8_t kModemStatus = 0x01;
inline constexpr uint8_t kLineStatus = 0x60;

// Chosen by the environment at each reset (see libusb_double.cpp), or by VG_SetOption.
struct BusSettings {
  int devices = 1;
  bool init_fails = false;
  bool mute = false;
  long long unplug_after = -1;  // bulk-out bytes each bridge takes before it is gone; -1 = never
  int busy_polls = 2;
  bool never_ready = false;
};

struct Bridge {
  std::string serial;
  vg::Generator generator;
  std::vector<uint8_t> wire;  // every byte the generator took
  uint64_t accepted = 0;      // bulk-out bytes since power-on, for the unplug fault
  bool claimed = false;       // an open handle holds the interface
  unsigned latency_ms = 16;   // the chip's latency timer, as set over control transfers
  bool unplugged = false;
};

class Bus {
 public:
  // Fresh bridges from the environment, erased flash; the capture is emptied.
  void Reset();
  // Returns false for an unknown option name. Changing "devices" makes fresh bridges.
  bool SetOption(const std::string& name, long long value);
  const BusSettings& settings() const { return settings_; }

  std::vector<std::unique_ptr<Bridge>>& bridges() { return bridges_; }
  // The bridge the VG_ functions act on; false, and no change, when there is no such bridge.
  Bridge& selected() { return *bridges_.at(selected_); }
  bool Select(int index);

  // Bulk out: feeds the generator, honouring the unplug fault. Returns the libusb status.
  int TakeBytes(Bridge& bridge, std::span<const uint8_t> bytes, int& transferred);
  // Bulk in: status bytes and the generator's answers in 64-byte packets, as many as fit.
  std::vector<uint8_t> Packets(Bridge& bridge, size_t length);

  void Log(std::string line);
  const std::vector<std::string>& calls() const { return calls_; }

  std::mutex mutex;

 private:
  void MakeBridges();
  void ApplyStatusBehaviour();

  BusSettings settings_;
  std::vector<std::unique_ptr<Bridge>> bridges_;
  size_t selected_ = 0;
  std::vector<std::string> calls_;
};

// The environment variables the bus reads at each reset, in table order; nullptr past the end.
const char* OptionVariable(size_t index);

// The one bus of the process, reset at first use.
Bus& TheBus();

}  // namespace qvx::usbdouble
