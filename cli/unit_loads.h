// The loader's loads outside the station: one generator (the first listed with the generator's
// description, opened by it as the window does), the units named with --unit, or every attached
// unit (--all-units) side by side, one thread, window stand-in, connection and clock each. Every
// unit runs the station's own per-unit load (station/unit_load.h): retries from the erase, a
// just-plugged unit's opens given time to settle, a pulled unit told from a failed one, and the
// station's records, its first line on disk before anything is sent.
#pragma once

#include <string>
#include <vector>

#include "cli/load_run.h"
#include "cli/shared_names.h"
#include "content/step.h"
#include "station_core/station_record.h"

namespace qvx::cli {

// A unit to load, as the listing found it (or as named, when it was not listed).
struct UnitToLoad {
  std::string serial;
  std::string description;
  std::string port;
  bool listed = false;
};

// What every unit of the run loads, and how.
struct UnitLoadPlan {
  const std::vector<LoadStep>& steps;
  int retries = 0;
  StationRecorder& recorder;
};

// Loads the first generator found by its description (`unit` says which the listing found, for
// the records); the status of the run.
int LoadOneGenerator(const UnitToLoad& unit, const UnitLoadPlan& plan, LoaderContext& context);

// Loads these units in parallel, each opened by its serial number, then prints the summary
// table. The most serious of the units' statuses: kExitCompleted only when every unit completed.
int LoadUnits(const std::vector<UnitToLoad>& units, const UnitLoadPlan& plan,
              LoaderContext& context);

// How one unit's run ended.
struct UnitReport {
  std::string serial;
  int status = kExitCompleted;
  std::string result;       // "completed", "refused", "failed", "not connected", "pulled"
  double seconds = 0;       // wall time from opening to the end
  std::string failed_step;  // the step that did not complete, described; empty when none did
};

// "Unit      Result         Time  Failed step" and a row per unit.
std::string SummaryTable(const std::vector<UnitReport>& reports);

}  // namespace qvx::cli
