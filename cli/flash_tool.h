// qvx5120-flash: shows what a flash image holds and writes its slots out as files.
#pragma once

#include <ostream>
#include <span>
#include <string>

namespace qvx::cli {

// Exit statuses.
inline constexpr int kFlashDone = 0;         // done; for `info`, every slot passed its checks
inline constexpr int kFlashFileError = 1;    // the image cannot be read or an output not written
inline constexpr int kFlashUsage = 2;        // the command line does not say what to do
inline constexpr int kFlashSlotProblem = 3;  // `info`: a slot failed its checks; else it is erased

// Runs the arguments after the program name. Without --image it reads the virtual generator's
// flash file.
int RunFlashTool(std::span<const std::string> args, std::ostream& out, std::ostream& err);

}  // namespace qvx::cli
