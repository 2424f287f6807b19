// Where the open libftd2xx.so (the D2XX-compatible library over libftdi1) stands relative to a
// program of this system: installed beside it, or in the build tree. Tried only after the plain
// name, so FTDI's own library keeps priority wherever it is installed.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace qvx {

// <dir>/../<libdir>/qvx5120/libftd2xx.so, then <dir>/../ftdi/libftd2xx.so.
std::vector<std::string> OpenDriverPaths(const std::filesystem::path& executable_dir);
// The directory of the running executable; empty when it cannot be told.
std::filesystem::path ExecutableDirectory();

}  // namespace qvx
