// A parallel load: the same steps on each chosen unit at once, one thread per unit with its own
// window stand-in, driver, connection, download state and clock; a unit that fails stops alone.
// Ends with a summary table of every unit.
#pragma once

#include <string>
#include <vector>

#include "cli/load_command.h"
#include "cli/loader.h"

namespace qvx::cli {

// How one unit's run ended.
struct UnitReport {
  std::string serial;
  int status = kExitCompleted;
  std::string result;       // "completed", "refused", "failed", "not connected"
  double seconds = 0;       // wall time from opening to the end
  std::string failed_step;  // the step that did not complete, described; empty when none did
};

// Runs the (already checked) steps on the units with these serial numbers. Returns the most
// serious exit status among the units: kExitCompleted only when every unit completed.
int RunUnits(const std::vector<std::string>& serials, const std::vector<LoadStep>& steps,
             LoaderContext& context);

// "Unit      Result         Time  Failed step" and a row per unit.
std::string SummaryTable(const std::vector<UnitReport>& reports);

}  // namespace qvx::cli
