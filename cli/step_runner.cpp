// Running the steps over one connection.
#include "cli/step_runner.h"

#include <string>

#include "cli/load_run.h"
#include "cli/load_texts.h"
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
      window.ShowMessage(text::kProgram + step.file + text::kLeftErased);
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
                      const std::vector<LoadStep>& steps, std::ostream& err,
                      const StepObserver& observer) {
  const size_t total = steps.size();
  for (size_t i = 0; i < total; ++i) {
    const LoadStep& step = steps[i];
    window.SetStep(step);
    window.Note(text::StepCount(i, total) + Describe(step));
    const auto started = std::chrono::system_clock::now();
    const auto start = std::chrono::steady_clock::now();
    const int status = StatusOf(connection.downloads.Run(step.request), step, window);
    window.EndBar();
    if (observer) {
      const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
      observer(i, {started, took.count(), status});
    }
    if (status != kExitCompleted) {
      err << text::kProgram << text::StoppedAt(i, total) << " (" << Describe(step) << ")\n";
      return {status, i};
    }
  }
  window.Note(text::AllCompleted(total));
  return {kExitCompleted, total};
}

}  // namespace qvx::cli
