// The loader's run: check everything, connect once (or once per unit), run the operations in
// order, and record each unit's steps where a record file is named.
#include "cli/load_run.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <vector>

#include "cli/load_command.h"
#include "cli/load_prep.h"
#include "cli/load_texts.h"
#include "cli/pin.h"
#include "cli/station_run.h"
#include "cli/step_runner.h"
#include "cli/terminal_window.h"
#include "cli/unit_list.h"
#include "cli/unit_run.h"
#include "device/driver_table.h"
#include "download/connection.h"
#include "content/content_set.h"
#include "records/record.h"

namespace qvx::cli {
namespace {

enum class Listing { kReported, kQuiet };

// The attached units, through a driver bound just for listing. A quiet listing shows nothing of a
// driver library that cannot be loaded: it only looks up units for the record, and the load that
// follows reports the library once itself.
std::vector<ListedUnit> ListAttached(LoaderContext& context, Listing listing = Listing::kReported) {
  std::ostream silent(nullptr);
  const bool quiet = listing == Listing::kQuiet;
  TerminalWindow window(quiet ? silent : context.out, quiet ? silent : context.err,
                        TerminalWindow::Bar::kLines);
  Driver driver(window, context.library);
  driver.BindDriver();
  return ListUnits(driver);
}

int PrintList(LoaderContext& context, const std::string& record_file) {
  const std::vector<ListedUnit> units = ListAttached(context);
  if (units.empty()) {
    context.err << text::kProgram << text::kNoneAttached << '\n';
    return kExitDevice;
  }
  const auto recorded = record_file.empty() ? std::map<std::string, std::vector<std::string>>()
                                            : LastRecorded(record_file);
  for (const ListedUnit& unit : units) {
    context.out << unit.index << "  " << unit.serial << "  " << unit.description << '\n';
    if (record_file.empty())
      continue;
    const auto found = recorded.find(unit.serial);
    if (found == recorded.end()) {
      context.out << "     " << text::kNoRecordFor << '\n';
      continue;
    }
    for (const std::string& line : found->second)
      context.out << "     " << line << '\n';
  }
  return kExitCompleted;
}

// The content set, or the exit status of a set that cannot be loaded.
int ReadSet(const std::string& path, ContentSet& set, LoaderContext& context) {
  try {
    set = ReadContentSet(path);
    return kExitCompleted;
  } catch (const ContentSetError& error) {
    for (const std::string& problem : error.problems())
      context.err << text::kProgram << path << ": " << problem << '\n';
    context.err << text::kProgram << text::kNothingSent << '\n';
    return error.malformed() ? kExitUsage : kExitRefused;
  }
}

int RunOneGenerator(const std::vector<LoadStep>& steps, LoaderContext& context,
                    UnitRecorder recorder) {
  TerminalWindow window(
      context.out, context.err,
      context.out_is_terminal ? TerminalWindow::Bar::kInPlace : TerminalWindow::Bar::kLines);
  Connection connection(window, context.clock, context.library);
  connection.Connect();
  if (!connection.connected()) {
    context.err << text::kProgram << text::kNotConnected << '\n';
    recorder.NotReached(text::kNotConnectedResult, kExitDevice);
    return kExitDevice;
  }
  const StepsOutcome outcome =
      RunSteps(connection, window, steps, context.err, [&](size_t i, const StepResult& result) {
        recorder.Ran(i, result.started, result.seconds, result.status);
      });
  recorder.NotReached(ResultOf(outcome.status), outcome.status);
  return outcome.status;
}

// The status of a load whose record file may have failed: a load that completed but could not be
// recorded says so; any other status stands.
int WithRecord(int status, const std::optional<RecordFile>& record, LoaderContext& context) {
  if (!record)
    return status;
  const auto failure = record->failure();
  if (!failure)
    return status;
  context.err << text::kProgram << *failure << '\n';
  return status == kExitCompleted ? kExitNotRecorded : status;
}

}  // namespace

int RunLoader(std::span<const std::string> args, LoaderContext& context) {
  LoadCommand command;
  try {
    command = ParseLoadCommand(args);
  } catch (const UsageError& error) {
    context.err << text::kProgram << error.what() << '\n';
    return kExitUsage;
  }
  if (command.help) {
    context.out << text::LoadUsage();
    return kExitCompleted;
  }
  if (command.version) {
    context.out << "qvx5120-load " QVX_VERSION "\n";
    return kExitCompleted;
  }
  if (command.list)
    return PrintList(context, command.record_file);

  if (!command.pin_file.empty())
    return PrintPinned(command.pin_file, context);
  ContentSet set{command.steps, {}, {}};
  if (!command.set_file.empty()) {
    if (const int status = ReadSet(command.set_file, set, context); status != kExitCompleted)
      return status;
  }
  if (command.station)
    return RunStation(command, set, context);
  if (const auto refusal = PrepareInMemory(set.steps, context.out)) {
    context.err << text::kProgram << *refusal << "; " << text::kNothingSent << '\n';
    return kExitRefused;
  }
  const std::vector<LoadStep>& steps = set.steps;
  for (const LoadStep& step : steps) {
    if (const auto refusal = CheckStepInput(step)) {
      context.err << text::kProgram << *refusal << "; " << text::kNothingSent << '\n';
      return kExitRefused;
    }
  }
  // The command line's record file wins over the set's.
  const std::string record_path =
      command.record_file.empty() ? set.record_file : command.record_file;
  std::optional<RecordFile> record;
  std::map<std::string, FileFacts> facts;
  std::vector<ListedUnit> listed;
  if (!record_path.empty()) {
    record.emplace(record_path);
    facts = FactsOfFiles(steps);
    listed = ListAttached(context, Listing::kQuiet);
  }
  RecordFile* record_file = record ? &*record : nullptr;
  auto description_of = [&](const std::string& serial) {
    const auto unit = std::find_if(listed.begin(), listed.end(),
                                   [&](const ListedUnit& u) { return u.serial == serial; });
    return unit == listed.end() ? std::string() : unit->description;
  };

  if (!command.several_units()) {
    // Opened by description: the first unit listed with the generator's description.
    const auto unit = std::find_if(listed.begin(), listed.end(), [](const ListedUnit& u) {
      return u.description == DeviceDescription;
    });
    const ChosenUnit chosen =
        unit == listed.end() ? ChosenUnit{} : ChosenUnit{unit->serial, unit->description};
    const int status = RunOneGenerator(
        steps, context, UnitRecorder(record_file, facts, steps, chosen.serial, chosen.description));
    return WithRecord(status, record, context);
  }

  std::vector<ChosenUnit> units;
  for (const std::string& serial : command.units)
    units.push_back({serial, description_of(serial)});
  if (command.all_units) {
    if (listed.empty())
      listed = ListAttached(context);
    for (const ListedUnit& unit : listed)
      units.push_back({unit.serial, unit.description});
    if (units.empty()) {
      context.err << text::kProgram << text::kNoneAttachedToLoad << '\n';
      return kExitDevice;
    }
  }
  const int status = RunUnits(units, steps, context, [&](size_t i) {
    return UnitRecorder(record_file, facts, steps, units[i].serial, units[i].description);
  });
  return WithRecord(status, record, context);
}

}  // namespace qvx::cli
