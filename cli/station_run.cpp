// The station on the command line.
#include "cli/station_run.h"

#include "cli/load_texts.h"
#include "cli/station_board.h"
#include "station_core/station_session.h"
#include "station/station.h"
#include "station/texts.h"

namespace qvx::cli {

int RunStation(const LoadCommand& command, ContentSet& set, LoaderContext& context) {
  std::vector<std::string> names;
  for (const LoadStep& step : set.steps)
    names.push_back(Describe(step));
  StationBoard board(
      context.out,
      context.out_is_terminal ? StationBoard::Style::kBoard : StationBoard::Style::kLines, names);

  StationSetup setup;
  setup.set_file = command.set_file;
  setup.operator_name = command.operator_name;
  setup.work_order = command.work_order;
  setup.record_file = command.record_file;
  setup.retries = command.retries;
  setup.stop_after = command.stop_after;
  if (context.unit_clock)
    setup.unit_clock = [&context](const station::SocketView&) { return context.unit_clock(); };
  StationSession session(context.library, &board);
  if (const auto refusal = session.Prepare(std::move(set), std::move(setup), context.out)) {
    context.err << text::kProgram << *refusal << "; " << text::kNothingSent << '\n';
    return kExitRefused;
  }

  const std::unique_ptr<station::Station> station = session.NewStation();
  if (!station->usable()) {
    context.err << text::kProgram << station::text::kNoDriver << '\n';
    return kExitDevice;
  }
  if (context.catch_stop_requests)
    context.catch_stop_requests();
  int stops_seen = 0;
  station->Run([&] {
    const int stops = context.stop_requests ? context.stop_requests() : 0;
    if (stops > stops_seen) {
      stops_seen = stops;
      context.err << text::kProgram << (stops == 1 ? text::kStopping : text::kAbandoning) << '\n';
      if (stops == 1)
        station->Stop();
      else
        station->Abandon();
    }
    board.Draw(station->Sockets(), station->totals());
  });
  const station::Totals totals = station->totals();
  board.Finish(totals);
  int status = totals.failed == 0 && totals.pulled == 0 ? kExitCompleted : kExitDevice;
  if (const auto failure = session.RecordFailure()) {
    context.err << text::kProgram << *failure << '\n';
    if (status == kExitCompleted)
      status = kExitNotRecorded;
  }
  return status;
}

}  // namespace qvx::cli
