// Running the units side by side.
#include "cli/unit_run.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <exception>
#include <memory>
#include <thread>

#include "cli/load_texts.h"
#include "cli/step_runner.h"
#include "cli/terminal_window.h"
#include "cli/unit_output.h"
#include "download/connection.h"

namespace qvx::cli {
namespace {

// One unit from its own open to its end. Everything it touches is its own, apart from the driver
// library: dlopen hands every thread the same loaded module, and binding only reads it.
UnitReport RunUnit(const std::string& serial, const std::vector<LoadStep>& steps, std::ostream& out,
                   std::ostream& err, bool in_place, Clock& clock, LibraryLoader& library,
                   UnitRecorder recorder) {
  const auto start = std::chrono::steady_clock::now();
  UnitReport report;
  report.serial = serial;
  try {
    TerminalWindow window(out, err,
                          in_place ? TerminalWindow::Bar::kInPlace : TerminalWindow::Bar::kLines);
    Connection connection(window, clock, library);
    connection.OpenSerial(serial);
    connection.Connect();
    if (!connection.connected()) {
      err << text::kProgram << text::kNotConnected << '\n';
      report.status = kExitDevice;
      report.result = text::kNotConnectedResult;
    } else {
      const StepsOutcome outcome =
          RunSteps(connection, window, steps, err, [&](size_t i, const StepResult& result) {
            recorder.Ran(i, result.started, result.seconds, result.status);
          });
      report.status = outcome.status;
      report.result = ResultOf(outcome.status);
      if (outcome.failed < steps.size())
        report.failed_step = Describe(steps[outcome.failed]);
    }
  } catch (const std::exception& error) {
    err << text::kProgram << error.what() << '\n';
    report.status = kExitDevice;
    report.result = text::kFailed;
  }
  recorder.NotReached(report.result.c_str(), report.status);
  out.flush();
  err.flush();
  report.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
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

int RunUnits(const std::vector<ChosenUnit>& units, const std::vector<LoadStep>& steps,
             LoaderContext& context, const std::function<UnitRecorder(size_t)>& recorder_of) {
  std::vector<std::string> serials;
  for (const ChosenUnit& unit : units)
    serials.push_back(unit.serial);
  std::vector<UnitReport> reports(serials.size());
  std::vector<std::unique_ptr<Clock>> clocks;
  for (size_t i = 0; i < serials.size(); ++i)
    clocks.push_back(context.unit_clock ? context.unit_clock() : nullptr);
  {
    UnitOutput output(context.out, context.err, context.out_is_terminal, serials);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < serials.size(); ++i) {
      threads.emplace_back([&, i] {
        Clock& clock = clocks[i] ? *clocks[i] : context.clock;
        reports[i] = RunUnit(serials[i], steps, output.Out(i), output.Err(i),
                             context.out_is_terminal, clock, context.library, recorder_of(i));
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
