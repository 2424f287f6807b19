// One unit's load, from its first open to its end, on the calling thread: each operation in turn
// over a connection of its own; an operation that fails through a device fault is done again from
// its erase on a connection opened afresh, while retries are left and the unit is still plugged
// in. A refusal is never retried, nor a unit that was pulled.
#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "device/d2xx.h"
#include "device/library_loader.h"
#include "port/clock.h"
#include "station/operation.h"

namespace qvx::station {

// Where the unit is: by location, or by serial number where the library gives no locations.
struct UnitPlace {
  std::optional<d2xx::Dword> location;
  std::string serial;
};

// What the load asks of the station while it runs.
class LoadHooks {
 public:
  virtual ~LoadHooks() = default;
  virtual void Progress(size_t operation, int attempt, int position) = 0;
  virtual void AttemptEnded(const AttemptReport& report) = 0;
  // Whether the unit is still plugged in, by a fresh listing.
  virtual bool StillPlugged() = 0;
};

struct LoadResult {
  LoadEnd end = LoadEnd::kPassed;
  size_t stopped_at = 0;  // the operation that ended the load; the count when it passed
  std::string reason;
};

// Thrown through the download by the clock of an abandoned load.
struct LoadAbandoned {};

// Runs the load. `clock` paces it; once `abandon` is set, its next wait ends the load as cut off.
LoadResult LoadUnit(const UnitPlace& place, const std::vector<Operation>& operations, int retries,
                    LibraryLoader& loader, Clock& clock, const std::atomic<bool>& abandon,
                    LoadHooks& hooks);

}  // namespace qvx::station
