// Loading one generator, or several side by side, on the station's per-unit load.
#include "cli/unit_loads.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <exception>
#include <memory>
#include <thread>

#include "cli/load_texts.h"
#include "cli/terminal_window.h"
#include "cli/unit_output.h"
#include "content/exit_status.h"
#include "station/attached_units.h"
#include "station/texts.h"
#include "station/unit_load.h"
#include "station_core/station_session.h"

namespace qvx::cli {
namespace {

using station::AttemptEnd;
using station::LoadEnd;

// What the load asks of the loader for one unit: the records, a reason the window did not show,
// and whether the unit is still there.
class UnitHooks final : public station::LoadHooks {
 public:
  UnitHooks(station::SocketView& view, StationRecorder& recorder, station::UnitLister& lister,
            std::ostream& err, bool by_description, bool listed)
      : view_(view),
        recorder_(recorder),
        lister_(lister),
        err_(err),
        by_description_(by_description),
        listed_(listed) {}

  void Progress(size_t operation, int attempt, int) override {
    view_.operation = operation;
    view_.attempt = attempt;
  }
  void AttemptEnded(const station::AttemptReport& report) override {
    view_.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - view_.started).count();
    recorder_.AttemptEnded(view_, report);
    // The window's boxes are on the terminal already; what the load found itself is not.
    if (!report.reason_shown && !report.reason.empty() && report.end != AttemptEnd::kNotConnected)
      err_ << text::kProgram << report.reason << '\n';
  }
  // A unit the listing did not show at the start cannot be seen pulled since.
  bool StillPlugged() override {
    if (!listed_)
      return true;
    const auto attached = lister_.List();
    if (!attached)
      return true;
    return std::any_of(attached->begin(), attached->end(), [&](const station::AttachedUnit& u) {
      return by_description_ ? u.description == DeviceDescription : u.serial == view_.serial;
    });
  }

 private:
  station::SocketView& view_;
  StationRecorder& recorder_;
  station::UnitLister& lister_;
  std::ostream& err_;
  bool by_description_;
  bool listed_;
};

// One unit from its first open to its end, on the calling thread.
UnitReport LoadUnitOnTerminal(const UnitToLoad& unit, uint64_t load, bool by_description,
                              const UnitLoadPlan& plan, TerminalWindow& window, std::ostream& err,
                              Clock& clock, LibraryLoader& library) {
  const auto start = std::chrono::steady_clock::now();
  const std::vector<station::Operation> operations = OperationsOf(plan.steps);
  UnitReport report;
  report.serial = unit.serial;
  station::SocketView view;
  view.number = static_cast<int>(load);
  view.port = unit.port;
  view.serial = unit.serial;
  view.description = unit.description;
  view.state = station::SocketState::kLoading;
  view.operations = operations.size();
  view.attempt = 1;
  view.started = start;
  view.load = load;
  if (!plan.recorder.Begin(view)) {
    const RecordWriter& writer = *plan.recorder.writer();
    err << text::kProgram << text::NothingLoadedUnrecorded(writer.path(), writer.health().reason)
        << '\n';
    report.status = kExitNotRecorded;
    report.result = text::kNotRecordedResult;
    return report;
  }
  station::UnitLister lister(library);
  UnitHooks hooks(view, plan.recorder, lister, err, by_description, unit.listed);
  const station::UnitPlace place{std::nullopt, by_description ? std::string() : unit.serial};
  const station::LoadControl control{
      nullptr, nullptr, unit.listed ? station::kOpenGrace : std::chrono::milliseconds(0)};
  station::LoadResult result;
  try {
    result =
        station::LoadUnit(place, operations, plan.retries, library, clock, window, control, hooks);
  } catch (const std::exception& error) {
    err << text::kProgram << error.what() << '\n';
    result = {LoadEnd::kFailed, view.operation, error.what(), AttemptEnd::kFailed};
  }
  view.end = result.end;
  view.last = result.last;
  view.reason = result.reason;
  view.operation = result.stopped_at;
  view.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  view.state = result.end == LoadEnd::kPassed ? station::SocketState::kPassed
                                              : station::SocketState::kFailed;
  plan.recorder.LoadEnded(view);

  report.seconds = view.seconds;
  if (result.end == LoadEnd::kPassed) {
    window.Note(text::AllCompleted(operations.size()));
    report.result = text::kCompleted;
    return report;
  }
  report.status = StatusOf(result.last);
  if (result.last == AttemptEnd::kNotConnected && result.stopped_at == 0) {
    err << text::kProgram << text::kNotConnected << '\n';
    report.result = text::kNotConnectedResult;
    return report;
  }
  err << text::kProgram << text::StoppedAt(result.stopped_at, operations.size()) << " ("
      << Describe(plan.steps[result.stopped_at]) << ")\n";
  report.result = station::text::AttemptWord(result.last);
  report.failed_step = Describe(plan.steps[result.stopped_at]);
  return report;
}

std::string Elapsed(double seconds) {
  const long whole = std::lround(seconds);
  char text[32];
  std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
  return text;
}

}  // namespace

std::string SummaryTable(const std::vector<UnitReport>& reports) {
  std::string table = text::kSummaryHeading;
  for (const UnitReport& report : reports) {
    char row[96];
    std::snprintf(row, sizeof row, "%-9s %-14s %6s   ", report.serial.c_str(),
                  report.result.c_str(), Elapsed(report.seconds).c_str());
    std::string line = row + report.failed_step;
    line.erase(line.find_last_not_of(' ') + 1);
    table += line + '\n';
  }
  return table;
}

int LoadOneGenerator(const UnitToLoad& unit, const UnitLoadPlan& plan, LoaderContext& context) {
  TerminalWindow window(
      context.out, context.err,
      context.out_is_terminal ? TerminalWindow::Bar::kInPlace : TerminalWindow::Bar::kLines);
  return LoadUnitOnTerminal(unit, 1, true, plan, window, context.err, context.clock,
                            context.library)
      .status;
}

int LoadUnits(const std::vector<UnitToLoad>& units, const UnitLoadPlan& plan,
              LoaderContext& context) {
  std::vector<std::string> serials;
  for (const UnitToLoad& unit : units)
    serials.push_back(unit.serial);
  std::vector<UnitReport> reports(units.size());
  std::vector<std::unique_ptr<Clock>> clocks;
  for (size_t i = 0; i < units.size(); ++i)
    clocks.push_back(context.unit_clock ? context.unit_clock() : nullptr);
  {
    UnitOutput output(context.out, context.err, context.out_is_terminal, serials);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < units.size(); ++i) {
      threads.emplace_back([&, i] {
        Clock& clock = clocks[i] ? *clocks[i] : context.clock;
        // Everything a unit touches is its own, apart from the driver library: dlopen hands every
        // thread the same loaded module, and binding only reads it.
        TerminalWindow window(
            output.Out(i), output.Err(i),
            context.out_is_terminal ? TerminalWindow::Bar::kInPlace : TerminalWindow::Bar::kLines);
        reports[i] = LoadUnitOnTerminal(units[i], i + 1, false, plan, window, output.Err(i), clock,
                                        context.library);
        output.Out(i).flush();
        output.Err(i).flush();
      });
    }
    for (std::thread& thread : threads)
      thread.join();
    output.Finish();
  }
  context.out << '\n' << SummaryTable(reports);
  context.out.flush();
  int status = kExitCompleted;
  for (const UnitReport& report : reports)
    status = std::max(status, report.status);
  return status;
}

}  // namespace qvx::cli
