// Shared pieces of the command-line tool tests: the loader run in-process on the virtual generator
// with a clock that records its waits instead of waiting, and the same operations run through the
// window-side harness for comparison.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/load_run.h"
#include "tests/support/download_fixture.h"
#include "tests/support/recording_clock.h"
#include "tests/support/session.h"

namespace qvx::test {

// What one run left behind: the exit status, the terminal, and the generator's capture log.
struct ToolRun {
  int status = -1;
  std::string out;
  std::string err;
  Lines calls;
  std::vector<int32_t> waits;
  int pauses = 0;
};

class CliTest : public DownloadTest {
 protected:
  // The calls that went to a unit itself: without the listings the loader takes to find it and to
  // tell a pulled unit from a failed one, which are answered by the library alone.
  static Lines DeviceCalls(Lines calls) {
    std::erase_if(calls, [](const std::string& call) {
      return call.starts_with("FT_ListDevices") || call.starts_with("FT_CreateDeviceInfoList") ||
             call.starts_with("FT_GetDeviceInfoDetail");
    });
    return calls;
  }

  // qvx5120-load with these arguments, in-process, on the virtual generator as it stands.
  ToolRun Load(const Lines& args, std::function<void(size_t)> on_wait = {}, bool terminal = false) {
    RecordingClock clock;
    clock.on_wait = std::move(on_wait);
    SystemLibraryLoader library;
    std::ostringstream out, err;
    cli::LoaderContext context{out, err, terminal, clock, library};
    // Each unit of a parallel load gets a recording clock of its own.
    context.unit_clock = [] { return std::make_unique<RecordingClock>(); };
    context.stop_requests = stop_requests;
    ToolRun run;
    run.status = cli::RunLoader(args, context);
    run.out = out.str();
    run.err = err.str();
    run.calls = generator.Calls();
    run.waits = clock.waits;
    run.pauses = clock.pauses;
    return run;
  }

  // The window's operations on a fresh generator: `drive` sets the lists, edits and file answers
  // and clicks the buttons.
  ToolRun Window(const std::function<void(Session&)>& drive) {
    ResetGenerator();
    Session session(generator);
    drive(session);
    ToolRun run;
    run.calls = generator.Calls();
    for (const auto& entry : session.recorder.trace) {
      if (entry.starts_with("wait "))
        run.waits.push_back(std::stoi(entry.substr(5)));
    }
    run.pauses = session.recorder.clock.pauses;
    return run;
  }

  // What the station's Ctrl-C count reads; empty: never asked.
  std::function<int()> stop_requests;

  std::vector<uint8_t> FlashCopy() const {
    return {generator.Flash().begin(), generator.Flash().end()};
  }
};

}  // namespace qvx::test
