// qvx5120-load: see `qvx5120-load --help`.
#include <unistd.h>

#include <exception>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/load_run.h"

int main(int argc, char** argv) {
  try {
    const std::vector<std::string> args(argv + 1, argv + argc);
    qvx::SystemClock clock;
    qvx::SystemLibraryLoader library;
    qvx::cli::LoaderContext context{std::cout, std::cerr, isatty(STDOUT_FILENO) != 0, clock,
                                    library};
    context.unit_clock = [] { return std::make_unique<qvx::SystemClock>(); };
    return qvx::cli::RunLoader(args, context);
  } catch (const std::exception& error) {
    std::cerr << "qvx5120-load: " << error.what() << '\n';
    return 1;
  }
}
