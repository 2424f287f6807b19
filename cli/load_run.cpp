// The loader's run: check everything, then load one generator, the units named or every unit, or
// run the station; record each unit's load where a record file is named.
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
#include "cli/terminal_window.h"
#include "cli/unit_list.h"
#include "cli/unit_loads.h"
#include "content/content_set.h"
#include "content/file_facts.h"
#include "device/driver_table.h"
#include "records/record.h"
#include "records/record_writer.h"
#include "station/attached_units.h"
#include "station_core/station_record.h"

namespace qvx::cli {
namespace {

// The attached units for --list, through a driver bound just for listing, which says so when the
// driver library cannot be loaded.
std::vector<ListedUnit> ListAttached(LoaderContext& context) {
  TerminalWindow window(context.out, context.err, TerminalWindow::Bar::kLines);
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

// The units the library lists, with their ports; empty when it lists none. What the driver said
// when it could not be loaded goes to `bind_failure`: the load that follows says it itself, but
// a load of every unit has none to follow.
std::vector<station::AttachedUnit> ListedUnits(LibraryLoader& library, std::string& bind_failure) {
  station::UnitLister lister(library);
  bind_failure = lister.bind_failure();
  return lister.List().value_or(std::vector<station::AttachedUnit>());
}

UnitToLoad ToLoad(const station::AttachedUnit& unit) {
  return {unit.serial, unit.description, unit.port, true};
}

// Status 5 for a load that completed but whose records were held at some point, or that wrote
// none because its first line could not be written; any other status stands.
int WithRecord(int status, const std::optional<RecordWriter>& writer, LoaderContext& context) {
  if (!writer || status != kExitCompleted)
    return status;
  const RecordHealth health = writer->health();
  if (!health.ever_held)
    return status;
  context.err << text::kProgram << text::kRecordUnwritable << writer->path();
  if (health.held > 0)
    context.err << " (" << health.held << " lines kept only on standard error: " << health.reason
                << ")";
  context.err << '\n';
  return kExitNotRecorded;
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
  std::optional<RecordWriter> writer;
  if (!record_path.empty())
    writer.emplace(record_path, SystemRecordStore(), &context.err);
  const std::map<std::string, FileFacts> files =
      writer ? FactsOfFiles(steps) : std::map<std::string, FileFacts>();
  StationFacts facts{command.operator_name, command.work_order, {}, {}};
  if (!command.set_file.empty()) {
    std::error_code error;
    facts.set_path = std::filesystem::absolute(command.set_file, error).string();
    facts.set_sha256 = Sha256OfFile(command.set_file).value_or("");
  }
  StationRecorder recorder(writer ? &*writer : nullptr, facts, steps, files);
  const UnitLoadPlan plan{steps, command.retries.value_or(set.retries.value_or(0)), recorder};
  std::string bind_failure;
  const std::vector<station::AttachedUnit> listed = ListedUnits(context.library, bind_failure);

  if (!command.several_units()) {
    // Opened by description: the first unit listed with the generator's description.
    const auto unit = std::find_if(listed.begin(), listed.end(), [](const auto& u) {
      return u.description == DeviceDescription;
    });
    const UnitToLoad chosen = unit == listed.end() ? UnitToLoad{} : ToLoad(*unit);
    return WithRecord(LoadOneGenerator(chosen, plan, context), writer, context);
  }

  std::vector<UnitToLoad> units;
  for (const std::string& serial : command.units) {
    const auto unit = std::find_if(listed.begin(), listed.end(),
                                   [&](const auto& u) { return u.serial == serial; });
    units.push_back(unit == listed.end() ? UnitToLoad{serial, {}, {}, false} : ToLoad(*unit));
  }
  if (command.all_units) {
    for (const station::AttachedUnit& unit : listed)
      units.push_back(ToLoad(unit));
    if (units.empty()) {
      if (!bind_failure.empty())
        context.err << bind_failure << '\n';
      context.err << text::kProgram << text::kNoneAttachedToLoad << '\n';
      return kExitDevice;
    }
  }
  return WithRecord(LoadUnits(units, plan, context), writer, context);
}

}  // namespace qvx::cli
