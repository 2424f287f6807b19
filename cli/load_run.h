// qvx5120-load: runs the window's download operations from a command line or a content set, one
// after another over one connection, with the terminal standing in for the window; or the same
// operations on several generators in parallel, one connection each.
#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <span>
#include <string>

#include "cli/shared_names.h"
#include "content/exit_status.h"
#include "device/library_loader.h"
#include "port/clock.h"

namespace qvx::cli {

// What the loader runs with: the real clock and driver library in the program, others in tests.
struct LoaderContext {
  std::ostream& out;
  std::ostream& err;
  bool out_is_terminal;
  Clock& clock;
  // Shared by every thread of a parallel load: loading and looking up must be thread-safe (dlopen
  // and dlsym are).
  LibraryLoader& library;
  // Makes each unit's own clock in a parallel load; when empty, the units share `clock`, which
  // must then be thread-safe (SystemClock is).
  std::function<std::unique_ptr<Clock>()> unit_clock = {};
  // From then on, Ctrl-C and SIGTERM are counted instead of ending the program (the station's).
  std::function<void()> catch_stop_requests = {};
  // How many times the user has asked the station to stop; empty: never.
  std::function<int()> stop_requests = {};
};

// Parses and checks the whole command line (arguments after the program name) and any content
// set, connects, and runs the operations until one does not complete; with several units, on each
// unit in parallel. Returns the exit status.
int RunLoader(std::span<const std::string> args, LoaderContext& context);

}  // namespace qvx::cli
