// qvx5120-prep: makes the one BMP file the generator takes from any picture, or a banner from a
// line of text, and shows what the generator will hold.
#pragma once

#include <ostream>
#include <span>
#include <string>

namespace qvx::prep {

// Exit statuses.
inline constexpr int kPrepDone = 0;
inline constexpr int kPrepFileError = 1;  // an output cannot be written
inline constexpr int kPrepUsage = 2;      // the command line does not say what to do
inline constexpr int kPrepRefused = 3;    // the input is refused: no picture, or no such file

// Runs the arguments after the program name; needs StartImaging for pictures and text banners.
int RunPrepTool(std::span<const std::string> args, std::ostream& out, std::ostream& err);

std::string PrepUsage();

}  // namespace qvx::prep
