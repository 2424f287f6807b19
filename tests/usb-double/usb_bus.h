// The USB bus the libusb test double presents: zero, one or two FT245R-type FIFO bridges (vendor
// 0403, product 6001 unless set otherwise), each with the generator behind it, and optionally a
// foreign FTDI device that is no generator. What a bridge does with each transfer is the chip
// model's (tests/ft245r/); the bus adds what libusb keeps per device. Everything the double does
// is logged in one capture, one line per transfer.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "tests/ft245r/ft245r_bridge.h"

namespace qvx::usbdouble {

// Chosen by the environment at each reset (see libusb_double.cpp), or by VG_SetOption.
struct BusSettings {
  int devices = 1;
  bool init_fails = false;
  bool mute = false;
  long long unplug_after = -1;  // bulk-out bytes each bridge takes before it is gone; -1 = never
  int busy_polls = 2;
  bool never_ready = false;
  uint16_t product_id = ft245r::kProductFt245r;  // of every bridge
  bool foreign = false;  // an FTDI serial adapter with a product id of its own comes first
  // Bulk-in reads with nothing to send go unanswered until their time-out, as QEMU's emulated
  // FTDI chip (usb-serial) does; an FT245R answers them with the status bytes.
  bool silent_when_empty = false;
};

struct Bridge {
  explicit Bridge(ft245r::Identity identity) : chip(std::move(identity)) {}

  const std::string& serial() const { return chip.identity().serial; }
  vg::Generator& generator() { return chip.generator(); }
  // Pulled by the unplug fault, or never attached.
  bool gone() const { return absent || chip.gone(); }

  ft245r::Bridge chip;
  bool claimed = false;  // an open handle holds the interface
  bool absent = false;   // kept only for the VG_ functions; never on the bus
  // The bus address the kernel gave it: every fresh bridge gets the next one, as a device plugged
  // in again does.
  uint8_t address = 0;
};

class Bus {
 public:
  // Fresh bridges from the environment, erased flash; the capture is emptied.
  void Reset();
  // The selected bridge's generator at power-on with its flash as Reset leaves it, its wire and
  // the capture emptied; a claimed interface stays claimed (VG_Restart).
  void Restart();
  // Returns false for an unknown option name. Changing "devices" makes fresh bridges.
  bool SetOption(const std::string& name, long long value);
  const BusSettings& settings() const { return settings_; }

  std::vector<std::unique_ptr<Bridge>>& bridges() { return bridges_; }
  // Every device on the bus in bus order: the foreign device first when there is one.
  std::vector<Bridge*> Attached();
  // The bridge the VG_ functions act on; false, and no change, when there is no such bridge.
  Bridge& selected() { return *bridges_.at(selected_); }
  bool Select(int index);

  void Log(std::string line);
  const std::vector<std::string>& calls() const { return calls_; }

  std::mutex mutex;

 private:
  void MakeBridges();
  uint8_t NextAddress();
  void ApplyStatusBehaviour();

  BusSettings settings_;
  std::vector<std::unique_ptr<Bridge>> bridges_;
  std::unique_ptr<Bridge> foreign_;
  size_t selected_ = 0;
  uint8_t next_address_ = 2;  // 1 is the root hub's
  std::vector<std::string> calls_;
};

// The environment variables the bus reads at each reset, in table order; nullptr past the end.
const char* OptionVariable(size_t index);

// The one bus of the process, reset at first use.
Bus& TheBus();

}  // namespace qvx::usbdouble
