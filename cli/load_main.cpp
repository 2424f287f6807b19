// qvx5120-load: see `qvx5120-load --help`.
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <exception>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/load_run.h"

namespace {

// Ctrl-C and SIGTERM, counted: the station stops at the first and cuts its loads off at the second.
std::atomic<int> stop_requests{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void CountStopRequest(int) {
  stop_requests.fetch_add(1);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::vector<std::string> args(argv + 1, argv + argc);
    qvx::SystemClock clock;
    qvx::SystemLibraryLoader library;
    qvx::cli::LoaderContext context{std::cout, std::cerr, isatty(STDOUT_FILENO) != 0, clock,
                                    library};
    // No clock of their own: parallel units share the one SystemClock, and the station gives each
    // load the real clock that a pull or a cut-off cuts short.
    // Only the station catches them: any other load ends at Ctrl-C as it always has.
    context.catch_stop_requests = [] {
      std::signal(SIGINT, CountStopRequest);
      std::signal(SIGTERM, CountStopRequest);
    };
    context.stop_requests = [] { return stop_requests.load(); };
    return qvx::cli::RunLoader(args, context);
  } catch (const std::exception& error) {
    std::cerr << "qvx5120-load: " << error.what() << '\n';
    return 1;
  }
}
