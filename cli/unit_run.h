// A parallel load: the same steps on each chosen unit at once, one thread per unit with its own
// window stand-in, driver, connection, download state and clock; a unit that fails stops alone.
// Ends with a summary table of every unit.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "cli/load_command.h"
#include "cli/load_run.h"
#include "records/record.h"

namespace qvx::cli {

// How one unit's run ended.
struct UnitReport {
  std::string serial;
  int status = kExitCompleted;
  std::string result;       // "completed", "refused", "failed", "not connected"
  double seconds = 0;       // wall time from opening to the end
  std::string failed_step;  // the step that did not complete, described; empty when none did
};

// A unit to load: its serial number and, where the library listed it, its description.
struct ChosenUnit {
  std::string serial;
  std::string description;
};

// Runs the (already checked) steps on these units, each step recorded through `recorder_of(i)`
// for unit i. Returns the most serious exit status among the units: kExitCompleted only when
// every unit completed.
int RunUnits(const std::vector<ChosenUnit>& units, const std::vector<LoadStep>& steps,
             LoaderContext& context, const std::function<UnitRecorder(size_t)>& recorder_of);

// "Unit      Result         Time  Failed step" and a row per unit.
std::string SummaryTable(const std::vector<UnitReport>& reports);

}  // namespace qvx::cli
