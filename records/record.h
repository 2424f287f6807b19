// Production records: JSON lines for each unit's load (its beginning, each attempt at each step,
// its end), appended to a file a line shares, so that which unit got which content, when, and with
// what result can be read back later (by people, by --list, or by a line's own tools). The format
// is in docs/content-sets.md; records/record_writer.h writes the lines.
#pragma once

#include <chrono>
#include <cstdint>
#include <istream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "content/file_facts.h"
#include "content/step.h"

namespace qvx::records {

using content::FileFacts;
using content::LoadStep;

// What a station adds to each of its records: who ran which set, and where and which load.
struct StationFacts {
  std::string operator_name;
  std::string work_order;
  std::string set_path;  // absolute; empty when the steps came from the command line
  std::string set_sha256;
};

// Where a record of the station stands: the socket, the load and the attempt.
struct StationPlace {
  const StationFacts* facts = nullptr;
  std::string port;
  std::string label;
  std::string load;  // names one load of one unit, the same on each of its lines
  int attempt = 0;   // from 1; 0 on the lines that begin and end a load, and on skipped steps
  size_t steps = 0;  // on the lines that begin and end a load: how many steps it has
};

// One unit's attempt at one step; or with no step, a station's line that begins or ends a load.
struct StepRecord {
  std::chrono::system_clock::time_point started;
  std::string serial;
  std::string description;
  const LoadStep* step = nullptr;
  std::optional<FileFacts> file;  // nothing for the audio loop and erases
  std::string outcome;            // "completed", "refused", "failed", "not connected", "skipped"; a
                                  // station's also "started", "passed", "pulled" and "cut off"
  int exit_status = 0;
  double seconds = 0;
  std::optional<StationPlace> station;
  std::string reason;  // why a station's step or load did not complete
};

// What makes a line unique wherever it goes: the writer's run and the line's place in it.
struct RecordKey {
  std::string run;   // 128 bits, lower-case hex
  uint64_t seq = 0;  // 1 up, in the order the run's lines were written
};

// The JSON line of a record, without its line break.
std::string RecordLine(const StepRecord& record, const RecordKey& key);

// "completed", "refused" or "failed": how a step or a unit that ended with `status` is reported.
const char* ResultOf(int status);

// What the record file says each unit's slots last received: for every serial, one line per slot
// with its last completed load or erase, "banner 3  logo.bmp  sha256 1a2b...  2026-12-07T...".
// Lines that are not records are passed over. Empty when the file cannot be read.
std::map<std::string, std::vector<std::string>> LastRecorded(const std::string& path);

// The same for a record file's text.
std::map<std::string, std::vector<std::string>> LastRecordedIn(std::istream& in);

// The machine's name, for the records.
std::string HostName();

}  // namespace qvx::records
