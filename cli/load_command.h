// The loader's command line: the operations to run, in the order given, each read into the
// answers the window's lists, edits and file dialog would give. Nothing here touches the device.
#pragma once

#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/shared_names.h"
#include "download/request.h"
#include "content/step.h"
#include "prep/geometry.h"
#include "station/operation.h"

namespace qvx::cli {

struct LoadCommand {
  bool help = false;
  bool version = false;
  // --list: print the attached generators and run nothing.
  bool list = false;
  // --unit SERIAL, in the order given; with --all-units, every attached unit. Either runs the
  // steps on each unit in parallel; without them one generator is opened by its description.
  std::vector<std::string> units;
  bool all_units = false;
  // --set FILE: the steps come from a content set instead of the command line.
  std::string set_file;
  // --record FILE: append a line per unit and step to this file.
  std::string record_file;
  // --station: load each generator as it is plugged in, until stopped.
  bool station = false;
  // --stop-after N: the station stops once N loads have ended.
  std::optional<int> stop_after;
  // --operator TEXT, --work-order TEXT: into every record of the station.
  std::string operator_name;
  std::string work_order;
  // --retries N: further attempts at an operation that failed through a device fault.
  std::optional<int> retries;
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
