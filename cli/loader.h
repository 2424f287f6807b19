// qvx5120-load: runs the window's download operations from a command line, one after another over
// one connection, with the terminal standing in for the window.
#pragma once

#include <ostream>
#include <span>
#include <string>

#include "device/clock.h"
#include "device/library_loader.h"

namespace qvx::cli {

// Exit statuses.
inline constexpr int kExitCompleted = 0;  // every operation completed
inline constexpr int kExitUsage = 2;      // the command line does not say what to run
inline constexpr int kExitRefused = 3;    // a file or an amplitude was refused
inline constexpr int kExitDevice = 4;     // not connected, or the generator failed mid-download

// What the loader runs with: the real clock and driver library in the program, others in tests.
struct LoaderContext {
  std::ostream& out;
  std::ostream& err;
  bool out_is_terminal;
  Clock& clock;
  LibraryLoader& library;
};

// Parses and checks the whole command line (arguments after the program name), connects, and runs
// the operations until one does not complete. Returns the exit status.
int RunLoader(std::span<const std::string> args, LoaderContext& context);

}  // namespace qvx::cli
