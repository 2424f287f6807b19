// Listing the attached generators with their places.
#include "station/attached_units.h"

#include <array>
#include <cstdint>
#include <map>

#include "device/protocol.h"
#include "device/usb_location.h"

namespace qvx::station {
namespace {

// A D2XX text buffer as a string, whatever the library left in it.
template <size_t N>
std::string TextOf(const std::array<char, N>& buffer) {
  std::array<char, N> copy = buffer;
  copy.back() = '\0';
  return copy.data();
}

}  // namespace

UnitLister::UnitLister(LibraryLoader& loader) : driver_(window_, loader) {
  driver_.BindDriver();
  usable_ = driver_.table().FT_ListDevices != nullptr;
}

std::optional<std::vector<AttachedUnit>> UnitLister::List() {
  if (!usable_)
    return std::nullopt;
  const std::lock_guard lock(mutex_);
  const DriverTable& table = driver_.table();
  if (table.FT_CreateDeviceInfoList != nullptr && table.FT_GetDeviceInfoDetail != nullptr)
    return ListByLocation();
  return ListBySerial();
}

std::optional<std::vector<AttachedUnit>> UnitLister::ListByLocation() {
  const DriverTable& table = driver_.table();
  d2xx::Dword count = 0;
  if (table.FT_CreateDeviceInfoList(&count) != d2xx::FT_OK)
    return std::nullopt;
  std::vector<AttachedUnit> units;
  for (d2xx::Dword index = 0; index < count; ++index) {
    d2xx::Dword flags = 0, type = 0, id = 0, location = 0;
    std::array<char, d2xx::kSerialNumberBuffer> serial{};
    std::array<char, d2xx::kDescriptionBuffer> description{};
    d2xx::Handle handle = nullptr;
    // A unit whose details did not come may be loading: a listing with a hole says nothing.
    if (table.FT_GetDeviceInfoDetail(index, &flags, &type, &id, &location, serial.data(),
                                     description.data(), &handle) != d2xx::FT_OK) {
      return std::nullopt;
    }
    AttachedUnit unit{PortPathOfLocation(location), location, TextOf(serial), TextOf(description),
                      reinterpret_cast<uintptr_t>(handle)};
    if (unit.description == DeviceDescription)
      units.push_back(std::move(unit));
  }
  return units;
}

std::optional<std::vector<AttachedUnit>> UnitLister::ListBySerial() {
  d2xx::Dword count = 0;
  if (driver_.GuardedListDevices(&count, nullptr, d2xx::FT_LIST_NUMBER_ONLY) != d2xx::FT_OK)
    return std::nullopt;
  std::vector<AttachedUnit> units;
  std::map<std::string, int> seen;
  for (d2xx::Dword index = 0; index < count; ++index) {
    // By index, the first argument carries the index itself rather than a pointer.
    void* index_arg = reinterpret_cast<void*>(static_cast<uintptr_t>(index));
    std::array<char, d2xx::kDescriptionBuffer> serial{}, description{};
    if (driver_.GuardedListDevices(index_arg, serial.data(),
                                   d2xx::FT_LIST_BY_INDEX | d2xx::FT_OPEN_BY_SERIAL_NUMBER) !=
            d2xx::FT_OK ||
        driver_.GuardedListDevices(index_arg, description.data(),
                                   d2xx::FT_LIST_BY_INDEX | d2xx::FT_OPEN_BY_DESCRIPTION) !=
            d2xx::FT_OK) {
      return std::nullopt;
    }
    AttachedUnit unit{TextOf(serial), std::nullopt, TextOf(serial), TextOf(description), 0};
    if (unit.description != DeviceDescription)
      continue;
    ++seen[unit.serial];
    units.push_back(std::move(unit));
  }
  // A blank or shared serial cannot name a socket of its own.
  for (size_t i = 0; i < units.size(); ++i) {
    if (units[i].serial.empty() || seen[units[i].serial] > 1)
      units[i].port = "#" + std::to_string(i);
  }
  return units;
}

}  // namespace qvx::station
