// The loader's run: check everything, connect once (or once per unit), run the operations in order.
#include "cli/loader.h"

#include <filesystem>
#include <vector>

#include "cli/content_set.h"
#include "cli/load_command.h"
#include "cli/step_runner.h"
#include "cli/terminal_window.h"
#include "cli/unit_list.h"
#include "cli/unit_run.h"
#include "device/driver_table.h"
#include "download/connection.h"

namespace qvx::cli {
namespace {

// The attached units, through a driver bound just for listing.
std::vector<ListedUnit> ListAttached(LoaderContext& context) {
  TerminalWindow window(context.out, context.err, false);
  Driver driver(window, context.library);
  driver.BindDriver();
  return ListUnits(driver);
}

int PrintList(LoaderContext& context) {
  const std::vector<ListedUnit> units = ListAttached(context);
  if (units.empty()) {
    context.err << kProgram << "no generator is attached\n";
    return kExitDevice;
  }
  for (const ListedUnit& unit : units)
    context.out << unit.index << "  " << unit.serial << "  " << unit.description << '\n';
  return kExitCompleted;
}

// The steps of a content set, or the exit status of a set that cannot be loaded.
int ReadSet(const std::string& path, std::vector<LoadStep>& steps, LoaderContext& context) {
  try {
    steps = ReadContentSet(path);
    return kExitCompleted;
  } catch (const ContentSetError& error) {
    for (const std::string& problem : error.problems())
      context.err << kProgram << path << ": " << problem << '\n';
    context.err << kProgram << "nothing was sent to the generator\n";
    return error.malformed() ? kExitUsage : kExitRefused;
  }
}

int RunOneGenerator(const std::vector<LoadStep>& steps, LoaderContext& context) {
  TerminalWindow window(context.out, context.err, context.out_is_terminal);
  Connection connection(window, context.clock, context.library);
  connection.Connect();
  if (!connection.connected()) {
    context.err << kProgram << "the generator is not connected; nothing was loaded\n";
    return kExitDevice;
  }
  return RunSteps(connection, window, steps, context.err).status;
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
  if (command.version) {
    context.out << "qvx5120-load " QVX_VERSION "\n";
    return kExitCompleted;
  }
  if (command.list)
    return PrintList(context);

  std::vector<LoadStep> steps = command.steps;
  if (!command.set_file.empty()) {
    if (const int status = ReadSet(command.set_file, steps, context); status != kExitCompleted)
      return status;
  }
  for (const LoadStep& step : steps) {
    if (const auto refusal = CheckStepInput(step)) {
      context.err << kProgram << *refusal << "; nothing was sent to the generator\n";
      return kExitRefused;
    }
  }
  if (!command.several_units())
    return RunOneGenerator(steps, context);

  std::vector<std::string> serials = command.units;
  if (command.all_units) {
    for (const ListedUnit& unit : ListAttached(context))
      serials.push_back(unit.serial);
    if (serials.empty()) {
      context.err << kProgram << "no generator is attached; nothing was loaded\n";
      return kExitDevice;
    }
  }
  return RunUnits(serials, steps, context);
}

}  // namespace qvx::cli
