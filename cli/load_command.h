// The loader's command line: the operations to run, in the order given, each read into the
// answers the window's lists, edits and file dialog would give. Nothing here touches the device.
#pragma once

#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/shared_names.h"
#include "content/step.h"
#include "download/request.h"
#include "prep/geometry.h"
#include "station/operation.h"
#include "station_core/station_options.h"

namespace qvx::cli {

// The station's options (the set, the record, --operator, --work-order, --retries, --stop-after)
// are read as the station windows read them; --retries, --operator and --work-order serve every
// load, --stop-after only the station.
struct LoadCommand : StationOptions {
  bool help = false;
  bool version = false;
  // --list: print the attached generators and run nothing.
  bool list = false;
  // --unit SERIAL, in the order given; with --all-units, every attached unit. Either runs the
  // steps on each unit in parallel; without them one generator is opened by its description.
  std::vector<std::string> units;
  bool all_units = false;
  // --station: load each generator as it is plugged in, until stopped.
  bool station = false;
  // --pin SET: write the set with every file pinned by its hash, and load nothing.
  std::string pin_file;
  std::vector<LoadStep> steps;

  bool several_units() const { return all_units || !units.empty(); }
};

// A command line that does not say what to run: unknown operation, missing argument, or a slot
// number or frequency label outside the lists.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads the arguments after the program name: options first, then the operations. Throws
// UsageError.
LoadCommand ParseLoadCommand(std::span<const std::string> args);

// Reads the operations alone, as they follow the options. Throws UsageError.
std::vector<LoadStep> ParseOperations(std::span<const std::string> args);

}  // namespace qvx::cli
