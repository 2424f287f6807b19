// qvx5120-doctor's command line and run: the options, the facts gathered, the checks, the text or
// JSON on standard output, the --report file, and the exit status.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "device/library_loader.h"
#include "port/clock.h"

namespace qvx::doctor {

inline constexpr int kExitOk = 0;       // every generator passed every check
inline constexpr int kExitUsage = 2;    // a bad command line
inline constexpr int kExitProblem = 4;  // a check failed, or no generator was found

struct DoctorContext {
  std::ostream& out;
  std::ostream& err;
  SystemLibraryLoader& loader;
  Clock& clock;
};

// `args` without the program's name.
int RunDoctor(const std::vector<std::string>& args, DoctorContext& context);

}  // namespace qvx::doctor
