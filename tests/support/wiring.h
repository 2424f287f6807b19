// The application's production wiring behind its window: the driver on a library loader, the
// device link and the operations, connected and enabled the way the window does it at start-up.
#pragma once

#include "device/clock.h"
#include "device/driver_table.h"
#include "device/library_loader.h"
#include "device/protocol.h"
#include "device/window_port.h"
#include "download/downloads.h"

namespace qvx::test {

struct Wiring {
  // Opens the generator through `loader` and enables the window's controls as start-up does.
  Wiring(WindowPort& window, Clock& clock, LibraryLoader& loader);

  Driver driver;
  DeviceLink link;
  Downloads downloads;
};

}  // namespace qvx::test
