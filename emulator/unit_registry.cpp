#include "emulator/unit_registry.h"

#include "emulator/options.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace qvx::vg {

UnitRegistry& UnitRegistry::Instance() {
  static UnitRegistry registry;
  return registry;
}

UnitRegistry::UnitRegistry() {
  ConfigureFromEnvironment();
}

UnitRegistry::Unit& UnitRegistry::UnitAt(int index) {
  while (static_cast<int>(units_.size()) <= index)
    units_.push_back(std::make_unique<Unit>(static_cast<int>(units_.size())));
  return *units_[static_cast<size_t>(index)];
}

void UnitRegistry::Configure(int count) {
  std::lock_guard guard(mutex_);
  count_ = std::clamp(count, 1, flash::kMaxUnits);
  selected_ = 0;
  // Units past the count are reset too: their lock files and captures are released.
  const int made = std::max(count_, static_cast<int>(units_.size()));
  for (int i = 0; i < made; ++i) {
    Unit& unit = UnitAt(i);
    std::lock_guard unit_guard(unit.mutex);
    unit.device.Reset();
  }
}

void UnitRegistry::ConfigureFromEnvironment() {
  // A malformed or out-of-range count is clamped like any other.
  const long long count = EnvNumber(kUnitsVariable.name).value_or(1);
  Configure(static_cast<int>(std::clamp<long long>(count, 1, flash::kMaxUnits)));
}

int UnitRegistry::count() {
  std::lock_guard guard(mutex_);
  return count_;
}

LockedUnit UnitRegistry::At(int index) {
  std::unique_lock guard(mutex_);
  Unit& unit = UnitAt(index >= 0 && index < count_ ? index : 0);
  guard.unlock();
  return Lock(unit);
}

LockedUnit UnitRegistry::ForHandle(d2xx::Handle handle) {
  std::unique_lock guard(mutex_);
  Unit* found = &UnitAt(0);
  for (int i = 0; i < count_; ++i) {
    if (&UnitAt(i).device == handle)
      found = &UnitAt(i);
  }
  guard.unlock();
  return Lock(*found);
}

LockedUnit UnitRegistry::ForSerial(const char* serial) {
  std::unique_lock guard(mutex_);
  Unit* found = &UnitAt(0);
  for (int i = 0; serial != nullptr && i < count_; ++i) {
    if (std::strncmp(UnitAt(i).device.serial().c_str(), serial, 64) == 0)
      found = &UnitAt(i);
  }
  guard.unlock();
  return Lock(*found);
}

std::vector<std::string> UnitRegistry::ListedSerials() {
  std::vector<Unit*> units;
  {
    std::lock_guard guard(mutex_);
    for (int i = 0; i < count_; ++i)
      units.push_back(&UnitAt(i));
  }
  std::vector<std::string> serials;
  for (Unit* unit : units) {
    std::lock_guard unit_guard(unit->mutex);
    if (!unit->device.absent())
      serials.push_back(unit->device.serial());
  }
  return serials;
}

bool UnitRegistry::Select(int index) {
  std::lock_guard guard(mutex_);
  if (index < 0 || index >= count_)
    return false;
  selected_ = index;
  return true;
}

LockedUnit UnitRegistry::Selected() {
  std::unique_lock guard(mutex_);
  Unit& unit = UnitAt(selected_);
  guard.unlock();
  return Lock(unit);
}

}  // namespace qvx::vg
