// One connection's run of the loader's steps: each operation in turn, through the window's own
// download code, until one does not complete.
#pragma once

#include <chrono>
#include <functional>
#include <ostream>
#include <vector>

#include "cli/load_command.h"
#include "cli/terminal_window.h"
#include "download/connection.h"

namespace qvx::cli {

// How one step ended, as it ends.
struct StepResult {
  std::chrono::system_clock::time_point started;
  double seconds = 0;
  int status = 0;
};
using StepObserver = std::function<void(size_t index, const StepResult& result)>;

struct StepsOutcome {
  int status = 0;     // the exit status: kExitCompleted when every step completed
  size_t failed = 0;  // index of the step that did not complete; steps.size() when none
};

// Runs the steps over an open connection, noting each on the window and telling `observer` how
// each ended; a step that does not complete stops the run with its message on `err`.
StepsOutcome RunSteps(Connection& connection, TerminalWindow& window,
                      const std::vector<LoadStep>& steps, std::ostream& err,
                      const StepObserver& observer = {});

}  // namespace qvx::cli
