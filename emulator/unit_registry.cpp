#include "emulator/unit_registry.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "device/usb_location.h"
#include "emulator/options.h"
#include "emulator/rack_file.h"

namespace qvx::vg {
namespace {

// Ports on one bus of QVX_VG_UNITS's units: one hex digit of the location id each.
constexpr int kPortsPerBus = 15;

// Unit `index` of QVX_VG_UNITS: QVX0000n at port path 1-n, the 16th at 2-1 and so on.
UnitIdentity CountedIdentity(int index) {
  const std::string serial = flash::UnitSerial(index);
  const std::string port =
      std::to_string(index / kPortsPerBus + 1) + "-" + std::to_string(index % kPortsPerBus + 1);
  return {serial, serial, LocationOfPortPath(port).value_or(0)};
}

}  // namespace

UnitRegistry& UnitRegistry::Instance() {
  static UnitRegistry registry;
  return registry;
}

UnitRegistry::UnitRegistry() {
  ConfigureFromEnvironment();
}

UnitRegistry::Unit& UnitRegistry::CountedUnit(int index) {
  while (static_cast<int>(counted_.size()) <= index)
    counted_.push_back(std::make_shared<Unit>(CountedIdentity(static_cast<int>(counted_.size()))));
  return *counted_[static_cast<size_t>(index)];
}

UnitRegistry::Unit& UnitRegistry::StandIn() {
  if (!attached_.empty())
    return *attached_.front();
  if (!nobody_) {
    // Logs into unit 1's capture file; it is never listed, so it is never opened.
    nobody_ = std::make_shared<Unit>(UnitIdentity{"", flash::UnitSerial(0), 0});
  }
  return *nobody_;
}

void UnitRegistry::PullRackUnits() {
  if (!rack_path_)
    return;
  for (Unit* unit : attached_) {
    std::lock_guard unit_guard(unit->mutex);
    unit->device.Pull();
  }
  attached_.clear();
}

void UnitRegistry::Configure(int count) {
  std::lock_guard guard(mutex_);
  PullRackUnits();
  attached_.clear();
  rack_path_.reset();
  rack_text_.reset();
  kept_flash_.clear();
  snapshot_.clear();
  selected_ = nullptr;
  const int wanted = std::clamp(count, 1, flash::kMaxUnits);
  // Units past the count are reset too: their lock files and captures are released.
  const int made = std::max(wanted, static_cast<int>(counted_.size()));
  for (int i = 0; i < made; ++i) {
    Unit& unit = CountedUnit(i);
    std::lock_guard unit_guard(unit.mutex);
    unit.device.Reset();
    unit.device.SetPlug(next_plug_++);
    if (i < wanted)
      attached_.push_back(&unit);
  }
}

void UnitRegistry::ConfigureFromEnvironment() {
  if (const auto rack = EnvText(kRackVariable)) {
    std::lock_guard guard(mutex_);
    PullRackUnits();
    attached_.clear();
    // Closed, so that none holds a flash file a rack unit opens.
    for (const auto& unit : counted_) {
      std::lock_guard unit_guard(unit->mutex);
      unit->device.Reset();
    }
    kept_flash_.clear();
    snapshot_.clear();
    selected_ = nullptr;
    rack_path_ = *rack;
    rack_text_.reset();  // as if no file: every line read now is a fresh plug
    ReadRack(Recheck::kNow);
    return;
  }
  // A malformed or out-of-range count is clamped like any other.
  const long long count = EnvNumber(kUnitsVariable.name).value_or(1);
  Configure(static_cast<int>(std::clamp<long long>(count, 1, flash::kMaxUnits)));
}

void UnitRegistry::ReadRack(Recheck when) {
  if (!rack_path_)
    return;
  const auto now = std::chrono::steady_clock::now();
  if (when == Recheck::kWhenDue && now - rack_read_at_ < kRackRecheck)
    return;
  rack_read_at_ = now;
  auto text = ReadRackFile(*rack_path_);
  if (text == rack_text_)
    return;
  rack_text_ = std::move(text);
  const std::vector<RackLine> lines = ParseRack(rack_text_.value_or(""));

  // A unit stays while its line (serial number and port) is there; every other one is pulled.
  std::vector<Unit*> listed(lines.size(), nullptr);
  std::vector<Unit*> gone;
  for (Unit* unit : attached_) {
    const UnitIdentity& identity = unit->device.identity();
    size_t line = 0;
    while (line < lines.size() &&
           (listed[line] != nullptr || lines[line].serial != identity.serial ||
            lines[line].location != identity.location)) {
      ++line;
    }
    if (line < lines.size())
      listed[line] = unit;
    else
      gone.push_back(unit);
  }
  // Pulled before the new ones plug in, so that a unit moved to another port finds its flash.
  for (Unit* unit : gone) {
    std::lock_guard unit_guard(unit->mutex);
    if (auto content = unit->device.Pull())
      kept_flash_[unit->device.identity().files] = std::move(*content);
  }
  std::set<std::string> files_in_use;
  for (Unit* unit : listed) {
    if (unit != nullptr)
      files_in_use.insert(unit->device.identity().files);
  }
  for (size_t line = 0; line < lines.size(); ++line) {
    if (listed[line] != nullptr)
      continue;
    const RackLine& plugged = lines[line];
    std::string files = plugged.serial;
    if (files_in_use.contains(files))
      files += "@" + PortPathOfLocation(plugged.location);
    files_in_use.insert(files);
    plugs_.push_back(std::make_shared<Unit>(UnitIdentity{plugged.serial, files, plugged.location}));
    Unit& unit = *plugs_.back();
    unit.device.SetPlug(next_plug_++);
    unit.device.SeenPlugged(now);
    // No other thread can reach the new unit before mutex_ is let go.
    if (const auto kept = kept_flash_.find(files);
        kept != kept_flash_.end() && !unit.device.flash_in_file()) {
      unit.device.AttachFlashContent(std::move(kept->second));
      kept_flash_.erase(kept);
    }
    listed[line] = &unit;
  }
  attached_ = std::move(listed);
  LetGoOfPulledPlugs();
}

void UnitRegistry::LetGoOfPulledPlugs() {
  std::erase_if(plugs_, [&](const std::shared_ptr<Unit>& unit) {
    if (unit.get() == selected_ ||
        std::find(attached_.begin(), attached_.end(), unit.get()) != attached_.end())
      return false;
    // A unit whose lock is taken is in use: a later look lets it go.
    std::unique_lock unit_guard(unit->mutex, std::try_to_lock);
    return unit_guard.owns_lock() && !unit->device.open();
  });
}

LockedUnit UnitRegistry::LockSeen(std::shared_ptr<Unit> unit, bool found) {
  LockedUnit locked = Lock(std::move(unit), found);
  if (found)
    locked.device.SeenPlugged(std::chrono::steady_clock::now());
  return locked;
}

LockedUnit UnitRegistry::At(int index) {
  std::unique_lock guard(mutex_);
  ReadRack(Recheck::kNow);
  const bool found = index >= 0 && index < static_cast<int>(attached_.size());
  auto unit = (found ? *attached_[static_cast<size_t>(index)] : StandIn()).shared_from_this();
  guard.unlock();
  return LockSeen(std::move(unit), found);
}

LockedUnit UnitRegistry::First() {
  std::unique_lock guard(mutex_);
  auto unit = StandIn().shared_from_this();
  guard.unlock();
  return Lock(std::move(unit));
}

LockedUnit UnitRegistry::ForHandle(d2xx::Handle handle) {
  std::unique_lock guard(mutex_);
  ReadRack(Recheck::kWhenDue);
  Unit* found = nullptr;
  for (Unit* unit : attached_) {
    if (unit->device.handle() == handle)
      found = unit;
  }
  for (const auto& unit : plugs_) {
    if (found == nullptr && unit->device.handle() == handle)
      found = unit.get();
  }
  for (const auto& unit : counted_) {
    if (found == nullptr && unit->device.handle() == handle)
      found = unit.get();
  }
  auto unit = (found != nullptr && handle != nullptr ? *found : StandIn()).shared_from_this();
  guard.unlock();
  return Lock(std::move(unit), found != nullptr && handle != nullptr);
}

LockedUnit UnitRegistry::ForSerial(const char* serial) {
  std::unique_lock guard(mutex_);
  ReadRack(Recheck::kNow);
  Unit* found = nullptr;
  for (Unit* unit : attached_) {
    if (found == nullptr && serial != nullptr &&
        std::strncmp(unit->device.serial().c_str(), serial, 64) == 0) {
      found = unit;
    }
  }
  auto unit = (found != nullptr ? *found : StandIn()).shared_from_this();
  guard.unlock();
  return LockSeen(std::move(unit), found != nullptr);
}

LockedUnit UnitRegistry::ForLocation(d2xx::Dword location) {
  std::unique_lock guard(mutex_);
  ReadRack(Recheck::kNow);
  Unit* found = nullptr;
  for (Unit* unit : attached_) {
    if (found == nullptr && unit->device.identity().location == location)
      found = unit;
  }
  auto unit = (found != nullptr ? *found : StandIn()).shared_from_this();
  guard.unlock();
  return LockSeen(std::move(unit), found != nullptr);
}

std::vector<std::string> UnitRegistry::ListedSerials() {
  std::vector<std::shared_ptr<Unit>> units;
  {
    std::lock_guard guard(mutex_);
    ReadRack(Recheck::kNow);
    for (Unit* unit : attached_)
      units.push_back(unit->shared_from_this());
  }
  std::vector<std::string> serials;
  const auto now = std::chrono::steady_clock::now();
  for (const auto& unit : units) {
    std::lock_guard unit_guard(unit->mutex);
    unit->device.SeenPlugged(now);
    if (!unit->device.absent())
      serials.push_back(unit->device.serial());
  }
  return serials;
}

size_t UnitRegistry::TakeSnapshot() {
  std::vector<std::shared_ptr<Unit>> units;
  {
    std::lock_guard guard(mutex_);
    ReadRack(Recheck::kNow);
    for (Unit* unit : attached_)
      units.push_back(unit->shared_from_this());
  }
  std::vector<DeviceInfo> infos;
  const auto now = std::chrono::steady_clock::now();
  for (const auto& unit : units) {
    std::lock_guard unit_guard(unit->mutex);
    unit->device.SeenPlugged(now);
    if (!unit->device.absent())
      infos.push_back(unit->device.Info());
  }
  std::lock_guard guard(mutex_);
  snapshot_ = std::move(infos);
  return snapshot_.size();
}

std::vector<DeviceInfo> UnitRegistry::Snapshot() {
  std::lock_guard guard(mutex_);
  return snapshot_;
}

bool UnitRegistry::Select(int index) {
  std::lock_guard guard(mutex_);
  ReadRack(Recheck::kNow);
  if (index < 0 || index >= static_cast<int>(attached_.size()))
    return false;
  selected_ = attached_[static_cast<size_t>(index)];
  return true;
}

LockedUnit UnitRegistry::Selected() {
  std::unique_lock guard(mutex_);
  ReadRack(Recheck::kWhenDue);
  auto unit = (selected_ != nullptr ? *selected_ : StandIn()).shared_from_this();
  guard.unlock();
  return Lock(std::move(unit));
}

}  // namespace qvx::vg
