// One unit's load, from its first open to its end, on the calling thread: each operation in turn
// over a connection of its own; an operation that fails through a device fault is done again from
// its erase on a connection opened afresh, while retries are left and the unit is still plugged
// in. A refusal is never retried, nor a unit that was pulled. The station loads each socket's unit
// this way, and so does the loader for one generator, --unit and --all-units.
#pragma once

#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "device/d2xx.h"
#include "device/library_loader.h"
#include "port/clock.h"
#include "station/operation.h"
#include "station/unit_window.h"

namespace qvx::station {

// Where the unit is: by location, by serial number where the library gives no locations, or (with
// neither) the first unit with the generator's description, as the window opens it.
struct UnitPlace {
  std::optional<d2xx::Dword> location;
  std::string serial;
};

// What the load asks of its caller while it runs.
class LoadHooks {
 public:
  virtual ~LoadHooks() = default;
  virtual void Progress(size_t operation, int attempt, int position) = 0;
  virtual void AttemptEnded(const AttemptReport& report) = 0;
  // Whether the unit is still plugged in, by a fresh listing.
  virtual bool StillPlugged() = 0;
};

// How the load may be ended from outside, and how long a unit just plugged in may take to open.
struct LoadControl {
  // Set: the load ends at its next wait or reading, cut off.
  const std::atomic<bool>* abandon = nullptr;
  // Set: the unit was seen gone (or another in its place); the load ends at once, pulled.
  const std::atomic<bool>* pulled = nullptr;
  // A unit that has just appeared may refuse opens while the kernel and udev settle it: its first
  // open is tried again, quietly and with growing pauses, until these have added up to this.
  std::chrono::milliseconds open_grace{0};
};

// The longest settling time a just-plugged unit's open is given, and its pauses between tries.
inline constexpr std::chrono::milliseconds kOpenGrace{3000};
inline constexpr std::chrono::milliseconds kFirstOpenPause{50};
inline constexpr std::chrono::milliseconds kLongestOpenPause{800};

struct LoadResult {
  LoadEnd end = LoadEnd::kPassed;
  size_t stopped_at = 0;  // the operation that ended the load; the count when it passed
  std::string reason;
  AttemptEnd last = AttemptEnd::kCompleted;  // how the last attempt ended
};

// Thrown through the download by the clock of an abandoned or pulled load.
struct LoadAbandoned {};

// Runs the load, reporting through `window`. `clock` paces it; once the control's abandon or
// pulled flag is set, its next wait ends the load (a clock that waits for real should look at
// them while it waits, as Station's does).
LoadResult LoadUnit(const UnitPlace& place, const std::vector<Operation>& operations, int retries,
                    LibraryLoader& loader, Clock& clock, UnitWindow& window,
                    const LoadControl& control, LoadHooks& hooks);

// Whether either of the control's flags is set.
bool CutShort(const LoadControl& control);

}  // namespace qvx::station
