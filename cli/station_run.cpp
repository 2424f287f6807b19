// The station on the command line.
#include "cli/station_run.h"

#include <filesystem>
#include <optional>

#include "cli/load_prep.h"
#include "cli/load_texts.h"
#include "cli/record.h"
#include "cli/snapshot.h"
#include "cli/station_board.h"
#include "cli/station_record.h"
#include "station/station.h"
#include "station/texts.h"

namespace qvx::cli {
namespace {

// The refusal of a step's input, with what was not sent.
int Refuse(const std::string& refusal, LoaderContext& context) {
  context.err << text::kProgram << refusal << "; " << text::kNothingSent << '\n';
  return kExitRefused;
}

std::vector<station::Operation> OperationsOf(const std::vector<LoadStep>& steps) {
  std::vector<station::Operation> operations;
  for (const LoadStep& step : steps)
    operations.push_back({step.request, step.source(), step.erase, Describe(step)});
  return operations;
}

StationFacts FactsOf(const LoadCommand& command) {
  StationFacts facts{command.operator_name, command.work_order, {}, {}};
  if (!command.set_file.empty()) {
    std::error_code error;
    facts.set_path = std::filesystem::absolute(command.set_file, error).string();
    facts.set_sha256 = Sha256OfFile(command.set_file).value_or("");
  }
  return facts;
}

}  // namespace

int RunStation(const LoadCommand& command, ContentSet& set, LoaderContext& context) {
  std::vector<LoadStep>& steps = set.steps;
  Snapshots snapshots;
  if (const auto refusal = snapshots.Take(steps))
    return Refuse(*refusal, context);
  if (const auto refusal = PrepareInMemory(steps, context.out))
    return Refuse(*refusal, context);
  for (const LoadStep& step : steps) {
    if (const auto refusal = CheckStepInput(step))
      return Refuse(*refusal, context);
  }

  const std::string record_path =
      command.record_file.empty() ? set.record_file : command.record_file;
  std::optional<RecordFile> record;
  if (!record_path.empty())
    record.emplace(record_path);
  const StationFacts facts = FactsOf(command);
  StationRecorder recorder(record ? &*record : nullptr, facts, steps, snapshots.facts());
  std::vector<std::string> names;
  for (const LoadStep& step : steps)
    names.push_back(Describe(step));
  StationBoard board(
      context.out,
      context.out_is_terminal ? StationBoard::Style::kBoard : StationBoard::Style::kLines, names);
  BothEvents events(recorder, board);

  station::StationSettings settings;
  settings.operations = OperationsOf(steps);
  settings.retries = command.retries.value_or(set.retries.value_or(0));
  settings.stop_after = command.stop_after;
  if (context.unit_clock)
    settings.unit_clock = [&context](const station::SocketView&) { return context.unit_clock(); };
  station::Station station(std::move(settings), context.library, events);
  if (!station.usable()) {
    context.err << text::kProgram << station::text::kNoDriver << '\n';
    return kExitDevice;
  }
  if (context.catch_stop_requests)
    context.catch_stop_requests();
  int stops_seen = 0;
  station.Run([&] {
    const int stops = context.stop_requests ? context.stop_requests() : 0;
    if (stops > stops_seen) {
      stops_seen = stops;
      context.err << text::kProgram << (stops == 1 ? text::kStopping : text::kAbandoning) << '\n';
      if (stops == 1)
        station.Stop();
      else
        station.Abandon();
    }
    board.Draw(station.Sockets(), station.totals());
  });
  const station::Totals totals = station.totals();
  board.Finish(totals);
  int status = totals.failed == 0 && totals.pulled == 0 ? kExitCompleted : kExitDevice;
  if (record) {
    if (const auto failure = record->failure()) {
      context.err << text::kProgram << *failure << '\n';
      if (status == kExitCompleted)
        status = kExitNotRecorded;
    }
  }
  return status;
}

}  // namespace qvx::cli
