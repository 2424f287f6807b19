// The units the virtual generator presents, each with its own state and its own lock, so calls on
// different units from different threads run side by side. Either QVX_VG_UNITS units (default 1)
// at port paths 1-1, 1-2, ..., or the units a rack file lists (QVX_VG_RACK), read again whenever
// it changes, so units come and go while the library runs. A plug is a unit of its own, so a
// pulled unit's handle stays dead even when its line comes back; it lives until it is closed, and
// then it is let go (a handle is a value no open has had before, so an old one reaches no new
// unit): a rack that plugs thousands of units holds only those still in reach. Every plug has a
// number of its own (a rack line appearing, or QVX_VG_UNITS's units at every reset), which the
// device information list gives as the unit's attachment token.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "device/d2xx.h"
#include "emulator/nor_flash.h"
#include "emulator/virtual_device.h"
#include "flash/flash_file.h"

namespace qvx::vg {

// One unit, locked for the life of this object, and kept alive as long (a pulled unit that has been
// closed is let go by the registry).
struct LockedUnit {
  std::shared_ptr<void> keep;  // first in, last out: the lock goes before the unit
  std::unique_lock<std::mutex> lock;
  VirtualDevice& device;
  bool found = true;  // the unit asked for; false when this is a stand-in that logs the refusal
};

// How soon a call on an open handle looks at the rack file again: a pulled unit fails within this
// time (FT_Read's wait looks too), without reading the file at every one of a download's writes.
inline constexpr std::chrono::milliseconds kRackRecheck{50};

class UnitRegistry {
 public:
  static UnitRegistry& Instance();

  // `count` units (clamped to 1..kMaxUnits), each reset to a fresh state; unit 1 selected. Ends
  // the rack: its units are pulled.
  void Configure(int count);
  // The units of QVX_VG_RACK when set, else Configure with QVX_VG_UNITS.
  void ConfigureFromEnvironment();

  // Listed unit `index` (0-based), or a stand-in (found false) when there is no such unit, so that
  // the refused call is still logged somewhere. The lookups by index, serial number and location
  // read the rack file first; they are the opens.
  LockedUnit At(int index);
  // The first listed unit as last read, or the stand-in: where the list's own calls are logged.
  LockedUnit First();
  // The unit a handle belongs to, pulled units included; the stand-in for any other handle.
  LockedUnit ForHandle(d2xx::Handle handle);
  // The first listed unit with this serial number, or the stand-in.
  LockedUnit ForSerial(const char* serial);
  // The listed unit at this location id, or the stand-in.
  LockedUnit ForLocation(d2xx::Dword location);
  // Serial numbers of the units that are attached (not failing to open), in index order.
  std::vector<std::string> ListedSerials();
  // A fresh device information list of the attached units (not failing to open), kept for
  // FT_GetDeviceInfoDetail; returns how many it holds.
  size_t TakeSnapshot();
  // The list TakeSnapshot made last; empty before the first.
  std::vector<DeviceInfo> Snapshot();

  // The unit the VG_ control functions act on: listed unit `index`, kept even if it is pulled.
  bool Select(int index);
  LockedUnit Selected();

 private:
  struct Unit : std::enable_shared_from_this<Unit> {
    explicit Unit(UnitIdentity identity) : device(std::move(identity)) {}
    std::mutex mutex;
    VirtualDevice device;
  };
  enum class Recheck { kNow, kWhenDue };

  UnitRegistry();
  // With mutex_ held: unit `index` of QVX_VG_UNITS, made when first needed.
  Unit& CountedUnit(int index);
  // With mutex_ held: the unit that answers for no unit: the first listed one, or one that is never
  // attached when none is.
  Unit& StandIn();
  // With mutex_ held: in rack mode, pulls the units whose lines went away and plugs those whose
  // lines came, when the file changed since it was last read.
  void ReadRack(Recheck when);
  void PullRackUnits();
  // With mutex_ held: the plugs pulled and closed, which nothing can reach any more, let go.
  void LetGoOfPulledPlugs();
  // Takes the unit's lock; `unit` was taken from the registry with mutex_ held.
  static LockedUnit Lock(std::shared_ptr<Unit> unit, bool found = true) {
    VirtualDevice& device = unit->device;
    std::unique_lock lock(unit->mutex);
    return {std::move(unit), std::move(lock), device, found};
  }
  // Lock, and a unit found for an open is in this process's view from now on.
  static LockedUnit LockSeen(std::shared_ptr<Unit> unit, bool found);

  std::mutex mutex_;  // guards the fields below, never taken while holding a unit's lock
  std::vector<std::shared_ptr<Unit>> counted_;  // QVX_VG_UNITS's units, by index
  // The rack's plugs that may still be reached: attached, selected, or pulled with a handle open.
  std::vector<std::shared_ptr<Unit>> plugs_;
  std::shared_ptr<Unit> nobody_;  // the stand-in of an empty rack
  std::vector<Unit*> attached_;   // the listed units, in index order
  Unit* selected_ = nullptr;

  std::optional<std::string> rack_path_;
  std::optional<std::string> rack_text_;  // the content last read; nothing for no file
  std::chrono::steady_clock::time_point rack_read_at_{};
  // Memory-only flash of the units pulled, by their files' name (UnitIdentity::files).
  std::map<std::string, NorFlash::Content> kept_flash_;

  std::vector<DeviceInfo> snapshot_;
  // The number the next plug gets (its attachment token), never 0.
  uintptr_t next_plug_ = 1;
};

}  // namespace qvx::vg
