// The loader's command line: the operations to run, in the order given, each read into the
// answers the window's lists, edits and file dialog would give. Nothing here touches the device.
#pragma once

#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "download/request.h"
#include "prep/geometry.h"
#include "station/operation.h"

namespace qvx::cli {

struct LoadStep {
  // Loads `file` (none for the audio loop) as the request says, prepared with `fit` if given.
  static LoadStep Load(DownloadRequest request, std::string file = {},
                       std::optional<prep::Fit> fit = std::nullopt) {
    LoadStep step;
    step.request = std::move(request);
    step.file = std::move(file);
    step.fit = fit;
    return step;
  }
  // Erases the slot and writes nothing.
  static LoadStep Erase(const Slot& slot) {
    LoadStep step;
    step.request = {slot, {}};
    step.erase = true;
    return step;
  }

  // The download as the window's button would start it: the slot, and for the audio loop the
  // frequency rows and amplitude texts of channels 1 to 4.
  DownloadRequest request = DownloadRequest::Picture(0);
  // The content file; empty for the audio loop and for an erase.
  std::string file;
  // The SHA-256 a content set pinned the file to (lower-case hex); empty when not pinned.
  std::string pinned_sha256;
  // Erase the slot and write nothing, as when the file dialog is cancelled.
  bool erase = false;
  // A picture or banner to prepare when the slot does not take `file` as it is (cli/load_prep.h),
  // and where the prepared file is then.
  std::optional<prep::Fit> fit;
  std::string prepared_file;
  // A private copy of `file`, taken once, that everything reads instead (the station's).
  std::string snapshot;

  SlotKind kind() const { return request.slot.kind(); }
  // The file as read: the snapshot, if one was taken.
  const std::string& input() const { return snapshot.empty() ? file : snapshot; }
  // The file the download reads.
  const std::string& source() const { return prepared_file.empty() ? input() : prepared_file; }
  bool operator==(const LoadStep&) const = default;
};

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

// Why the step's input cannot be loaded (a file that cannot be read or that the slot would refuse,
// an amplitude above 0 dBFS), or nothing when it can. Reads only the file's header.
std::optional<std::string> CheckStepInput(const LoadStep& step);

// "banner 3 from logo.bmp", "erase pattern 0", "audio 1000Hz -6, Silence 0, ...".
std::string Describe(const LoadStep& step);

}  // namespace qvx::cli
