// The station on the command line.
#include "cli/station_run.h"

#include <chrono>
#include <thread>

#include "cli/load_texts.h"
#include "cli/station_board.h"
#include "station/texts.h"
#include "station_core/station_control.h"
#include "station_core/texts.h"
#include "station_line/line_services.h"

namespace qvx::cli {
namespace {

// How often the board is redrawn and the stop requests looked at.
constexpr std::chrono::milliseconds kTick{100};

}  // namespace

int RunStation(const LoadCommand& command, ContentSet& set, LoaderContext& context) {
  std::vector<std::string> names;
  for (const LoadStep& step : set.steps)
    names.push_back(Describe(step));
  StationBoard board(
      context.out,
      context.out_is_terminal ? StationBoard::Style::kBoard : StationBoard::Style::kLines, names);
  StationControl::UnitClock unit_clock;
  if (context.unit_clock)
    unit_clock = [&context](const station::SocketView&) { return context.unit_clock(); };
  StationControl control(context.library, command, &board, unit_clock, &context.err,
                         station_line::Services());
  if (const auto refused = control.Serve()) {
    context.err << text::kProgram << refused->reason << '\n';
    return refused->command_line ? kExitUsage : kExitDevice;
  }
  if (const std::string serving = control.ServerDescription(); !serving.empty())
    context.err << text::kProgram << serving << '\n';
  if (const auto refusal = control.OpenSet(std::move(set), command.set_file, context.out)) {
    for (const std::string& problem : refusal->problems)
      context.err << text::kProgram << problem << "; " << text::kNothingSent << '\n';
    return kExitRefused;
  }
  if (const auto refused = control.Start()) {
    context.err << text::kProgram << *refused << '\n';
    return kExitDevice;
  }
  if (context.catch_stop_requests)
    context.catch_stop_requests();
  // Served, the station stays up after a stop from elsewhere (it may be started again there), until
  // a stop request here ends its run and the program.
  const bool stay_up = command.serves();
  bool leaving = false;
  int stops_seen = 0;
  std::string records_said;
  bool was_held = false;
  std::string ship_said;
  StationSnapshot snapshot;
  for (;;) {
    const int stops = context.stop_requests ? context.stop_requests() : 0;
    for (; stops_seen < stops; ++stops_seen) {
      leaving = true;
      const StopDone done = control.Stop();
      if (done != StopDone::kNothing)
        context.err << text::kProgram
                    << (done == StopDone::kFinishing ? text::kStopping : text::kAbandoning) << '\n';
    }
    const bool ended = !control.running();
    snapshot = control.Snapshot();
    // How the records stand is said once each time it changes; on a board, under the totals.
    const bool held = snapshot.held_back();
    if (was_held && !held)
      board.Note(text::kProgram + std::string(station_core::text::kRecordsResumed));
    if (snapshot.records_note != records_said && !snapshot.records_note.empty())
      board.Note(text::kProgram + snapshot.records_note);
    records_said = snapshot.records_note;
    was_held = held;
    // Lines not in the line's database yet: on the board, and said each time the count's being
    // there or its problem changes.
    std::string ship_note;
    if (snapshot.unshipped && *snapshot.unshipped > 0) {
      ship_note = station_core::text::NotYetShipped(*snapshot.unshipped);
      if (!snapshot.ship_problem.empty())
        ship_note += " (" + snapshot.ship_problem + ")";
    }
    const std::string ship_state = ship_note.empty() ? "" : snapshot.ship_problem;
    if (ship_state != ship_said && !ship_state.empty())
      board.Note(text::kProgram + ship_note);
    ship_said = ship_state;
    std::string note = snapshot.records_note;
    if (!ship_note.empty())
      note += (note.empty() ? "" : "; ") + ship_note;
    board.Draw(snapshot.sockets, snapshot.totals, note);
    if (ended && (!stay_up || leaving))
      break;
    std::this_thread::sleep_for(kTick);
  }
  board.Finish(snapshot.totals);
  int status =
      snapshot.totals.failed == 0 && snapshot.totals.pulled == 0 ? kExitCompleted : kExitDevice;
  if (snapshot.records && snapshot.records->ever_held) {
    context.err << text::kProgram << text::kRecordUnwritable << snapshot.record_path;
    if (snapshot.records->held > 0)
      context.err << " (" << snapshot.records->held
                  << " lines kept only on standard error: " << snapshot.records->reason << ")";
    context.err << '\n';
    if (status == kExitCompleted)
      status = kExitNotRecorded;
  }
  return status;
}

}  // namespace qvx::cli
