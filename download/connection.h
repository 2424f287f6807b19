// One connection to a generator: the driver library bound through a loader, the device link over
// it and the operations that run on it. The window, the command line, each unit of a production
// line and the tests all open the generator through it, the way the window does at start-up.
#pragma once

#include <string>

#include "device/driver_table.h"
#include "device/library_loader.h"
#include "device/protocol.h"
#include "download/downloads.h"
#include "port/clock.h"
#include "port/window_port.h"

namespace qvx {

class Connection {
 public:
  Connection(WindowPort& window, Clock& clock, LibraryLoader& loader);
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Binds the driver and opens the generator (by its description, or by the serial number
  // chosen with OpenSerial). When connected: empties the receive buffer, sends CMD_END_LOAD once
  // and enables the download buttons; otherwise disables them for good.
  void Connect();
  // The next Connect opens the unit with this serial number instead of the first one found.
  void OpenSerial(std::string serial) { link.OpenSerial(std::move(serial)); }
  // The next Connect opens the unit at this location id (device/usb_location.h).
  void OpenLocation(d2xx::Dword location) { link.OpenLocation(location); }
  bool connected() const { return link.connected(); }

  Driver driver;
  DeviceLink link;
  Downloads downloads;
};

}  // namespace qvx
