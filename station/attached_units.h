// The generators attached right now and where each is plugged in: a fresh listing through the
// driver's device information list (FT_CreateDeviceInfoList, FT_GetDeviceInfoDetail), whose
// location names the USB port; through FT_ListDevices where the library has no such list, which
// gives no locations. Only units with the generator's description are listed, so other FTDI
// devices on the bench are left alone.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "device/d2xx.h"
#include "device/driver_table.h"
#include "device/library_loader.h"
#include "port/message_log.h"

namespace qvx::station {

struct AttachedUnit {
  // The socket's name: the port path ("1-4.2") from the location; without locations, the serial
  // number, or "#<index>" for a unit whose serial is blank or shared.
  std::string port;
  std::optional<d2xx::Dword> location;
  std::string serial;
  std::string description;
  // What tells this attachment of the unit from its next one, where the library gives it (the
  // device information list's handle field: the open library's bus and device address, the
  // virtual generator's plug); 0 where it does not, as FTDI's library for a unit it has not open.
  uintptr_t attachment = 0;

  bool operator==(const AttachedUnit&) const = default;
};

class UnitLister {
 public:
  // Binds a driver of its own, quietly.
  explicit UnitLister(LibraryLoader& loader);

  // False when the driver library could not be loaded or lacks FT_ListDevices.
  bool usable() const { return usable_; }
  // What binding the driver said when it could not be loaded; empty when it could.
  std::string bind_failure() const { return window_.last(); }
  // The units attached, by a fresh listing; nothing when the library could not list them this
  // time (which says nothing about what is plugged in). Any thread may call it.
  std::optional<std::vector<AttachedUnit>> List();

 private:
  std::optional<std::vector<AttachedUnit>> ListByLocation();
  std::optional<std::vector<AttachedUnit>> ListBySerial();

  MessageLog window_{1};
  Driver driver_;
  bool usable_ = false;
  std::mutex mutex_;
};

}  // namespace qvx::station
