// The driver library as the programs meet it: loaded and bound by their own search and binding
// (device/library_loader.h, device/driver_table.h), told apart (FTDI's, the open one, the virtual
// one), asked its version and its device information list; and one free unit opened with the
// connection the window makes at start-up (download/connection.h: reset, time-outs, purges,
// CMD_END_LOAD; no status query, which the generator takes only inside a load), then closed.
#pragma once

#include <memory>
#include <vector>

#include "device/driver_table.h"
#include "device/library_loader.h"
#include "doctor/facts.h"
#include "port/clock.h"
#include "port/message_log.h"

namespace qvx::doctor {

// The boxes and titles a connection shows, kept as lines instead of shown.
class LibraryProbe {
 public:
  // `loader` searches as the programs do (SystemLibraryLoader), or as a test chooses.
  LibraryProbe(SystemLibraryLoader& loader, Clock& clock, Platform platform);

  // Loads and binds the library once: which file, which kind, its version.
  LibraryFacts Bind();
  // The device information list, or nothing when the library has none.
  std::vector<ListedUnit> List();
  // Opens `unit` (by its location, else by its serial number), lets it take the start-up bytes,
  // reads its latency timer (and on Windows the driver's version), and closes it again.
  OpenFacts Open(const ListedUnit& unit);

 private:
  SystemLibraryLoader& loader_;
  Clock& clock_;
  Platform platform_;
  MessageLog binding_;
  Driver driver_;
};

}  // namespace qvx::doctor
