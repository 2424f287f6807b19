// The station window's command line: the station's own options, read as qvx5120-load reads them,
// and the window's.
#pragma once

#include <span>
#include <stdexcept>
#include <string>

#include "station_core/station_options.h"

namespace qvx::station_window {

struct StationWindowOptions : station_core::StationOptions {
  bool help = false;
  bool version = false;
  // --lock: the set given is the only one: Open is not offered.
  bool lock = false;
};

// A command line that does not say how to run: unknown option, missing or repeated value.
class OptionsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads the arguments after the program name. Throws OptionsError.
StationWindowOptions ParseStationWindowOptions(std::span<const std::string> args);

}  // namespace qvx::station_window
