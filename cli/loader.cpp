// The loader's run: check everything, connect once, run the operations in order.
#include "cli/loader.h"

#include <vector>

#include "cli/load_command.h"
#include "cli/terminal_window.h"
#include "device/driver_table.h"
#include "device/protocol.h"
#include "download/downloads.h"
#include "download/startup.h"

namespace qvx::cli {
namespace {

constexpr const char* kProgram = "qvx5120-load: ";

Outcome RunStep(Downloads& downloads, const LoadStep& step) {
  switch (step.kind) {
    case LoadKind::kPicture:
      return downloads.DownloadPicture();
    case LoadKind::kBanner:
      return downloads.DownloadBanner();
    case LoadKind::kCountdown:
      return downloads.DownloadCountdown();
    case LoadKind::kPattern:
      return downloads.DownloadTestPattern();
    case LoadKind::kAudio:
      break;
  }
  return downloads.DownloadAudio();
}

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

int RunLoader(std::span<const std::string> args, LoaderContext& context) {
  LoadCommand command;
  try {
    command = ParseLoadCommand(args);
  } catch (const UsageError& error) {
    context.err << kProgram << error.what() << '\n';
    return kExitUsage;
  }
  if (command.help) {
    context.out << LoadUsage();
    return kExitCompleted;
  }
  for (const LoadStep& step : command.steps) {
    if (const auto refusal = CheckStepInput(step)) {
      context.err << kProgram << *refusal << "; nothing was sent to the generator\n";
      return kExitRefused;
    }
  }

  TerminalWindow window(context.out, context.err, context.out_is_terminal);
  Driver driver(window, context.library);
  DeviceLink link(driver, context.clock, window);
  ConnectAndEnable(link, window);
  if (!link.connected()) {
    context.err << kProgram << "the generator is not connected; nothing was loaded\n";
    return kExitDevice;
  }

  const size_t total = command.steps.size();
  Downloads downloads(link, window);
  for (size_t i = 0; i < total; ++i) {
    const LoadStep& step = command.steps[i];
    window.SetStep(step);
    window.Note("[" + std::to_string(i + 1) + "/" + std::to_string(total) + "] " + Describe(step));
    const int status = StatusOf(RunStep(downloads, step), step, window);
    window.EndBar();
    if (status != kExitCompleted) {
      context.err << kProgram << "stopped at operation " << i + 1 << " of " << total << " ("
                  << Describe(step) << ")\n";
      return status;
    }
  }
  window.Note("All " + std::to_string(total) + (total == 1 ? " operation" : " operations") +
              " completed.");
  return kExitCompleted;
}

}  // namespace qvx::cli
