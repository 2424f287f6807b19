// Running the steps over one connection.
#include "cli/step_runner.h"

#include <string>

#include "cli/loader.h"
#include "download/downloads.h"

namespace qvx::cli {
namespace {

// The exit status an operation's end gives; kExitCompleted lets the next one run.
int StatusOf(Outcome outcome, const LoadStep& step, TerminalWindow& window) {
  switch (outcome) {
    case Outcome::kCompleted:
      return kExitCompleted;
    case Outcome::kLeftErased:
      if (step.erase)
        return kExitCompleted;
      // The file was readable when the command line was checked, but not when its turn came.
      window.ShowMessage(std::string(kProgram) + step.file +
                         ": could not be opened; the slot was left erased");
      return kExitRefused;
    case Outcome::kRefused:
      return kExitRefused;
    case Outcome::kFailed:
    case Outcome::kNotConnected:
      break;
  }
  return kExitDevice;
}

}  // namespace

StepsOutcome RunSteps(Connection& connection, TerminalWindow& window,
                      const std::vector<LoadStep>& steps, std::ostream& err) {
  const size_t total = steps.size();
  for (size_t i = 0; i < total; ++i) {
    const LoadStep& step = steps[i];
    window.SetStep(step);
    window.Note("[" + std::to_string(i + 1) + "/" + std::to_string(total) + "] " + Describe(step));
    const int status = StatusOf(connection.downloads.Run(RequestOf(step)), step, window);
    window.EndBar();
    if (status != kExitCompleted) {
      err << kProgram << "stopped at operation " << i + 1 << " of " << total << " ("
          << Describe(step) << ")\n";
      return {status, i};
    }
  }
  window.Note("All " + std::to_string(total) + (total == 1 ? " operation" : " operations") +
              " completed.");
  return {kExitCompleted, total};
}

}  // namespace qvx::cli
