// The station window's command line.
#pragma once

#include <optional>
#include <span>
#include <stdexcept>
#include <string>

namespace qvx::station_window {

struct StationWindowOptions {
  bool help = false;
  bool version = false;
  // --set SET: the content set opened at start-up.
  std::string set_file;
  // --lock: the set given is the only one: Open is not offered.
  bool lock = false;
  std::string operator_name;
  std::string work_order;
  // --record FILE: where the records go, over the set's own `record`.
  std::string record_file;
  std::optional<int> retries;
};

// A command line that does not say how to run: unknown option, missing or repeated value.
class OptionsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads the arguments after the program name. Throws OptionsError.
StationWindowOptions ParseStationWindowOptions(std::span<const std::string> args);

}  // namespace qvx::station_window
