// The units the virtual generator presents (QVX_VG_UNITS, default 1), each with its own state and
// its own lock, so calls on different units from different threads run side by side. Units are
// made when first needed and live as long as the library, so a handle never dangles.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/d2xx.h"
#include "emulator/virtual_device.h"
#include "flash/flash_file.h"

namespace qvx::vg {

// One unit, locked for the life of this object.
struct LockedUnit {
  std::unique_lock<std::mutex> lock;
  VirtualDevice& device;
};

class UnitRegistry {
 public:
  static UnitRegistry& Instance();

  // `count` units (clamped to 1..kMaxUnits), each reset to a fresh state; unit 1 selected.
  void Configure(int count);
  // Configure with QVX_VG_UNITS.
  void ConfigureFromEnvironment();

  int count();
  // Unit `index` (0-based), or unit 1 when there is no such unit, so that the refused call is
  // still logged somewhere.
  LockedUnit At(int index);
  // The unit a handle belongs to; unit 1 for any other handle.
  LockedUnit ForHandle(d2xx::Handle handle);
  // The unit with this serial number, or unit 1.
  LockedUnit ForSerial(const char* serial);
  // Serial numbers of the units that are attached (not failing to open), in index order.
  std::vector<std::string> ListedSerials();

  // The unit the VG_ control functions act on.
  bool Select(int index);
  LockedUnit Selected();

 private:
  struct Unit {
    explicit Unit(int index) : device(index) {}
    std::mutex mutex;
    VirtualDevice device;
  };

  UnitRegistry();
  // With mutex_ held: the unit, made when first needed.
  Unit& UnitAt(int index);
  static LockedUnit Lock(Unit& unit) { return {std::unique_lock(unit.mutex), unit.device}; }

  std::mutex mutex_;  // guards the fields below, never held while waiting for a unit's lock
  std::vector<std::unique_ptr<Unit>> units_;
  int count_ = 1;
  int selected_ = 0;
};

}  // namespace qvx::vg
