// Production records: one JSON line per unit and step, appended to a file a line shares, so that
// which unit got which content, when, and with what result can be read back later (by people,
// by --list, or by a line's own tools). The format is in docs/content-sets.md.
#pragma once

#include <chrono>
#include <cstdint>
#include <istream>
#include <map>
#include <mutex>
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

// The JSON line of a record, without its line break.
std::string RecordLine(const StepRecord& record);

// Appends records to one file from any number of threads; each line goes out in one write, so
// loaders on several machines or processes can share a file. A line that cannot be written never
// stops a load: the first failure is kept for the caller to report.
class RecordFile {
 public:
  explicit RecordFile(std::string path) : path_(std::move(path)) {}

  void Append(const StepRecord& record);
  // Why a line could not be written, or nothing when every line was.
  std::optional<std::string> failure() const;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  mutable std::mutex mutex_;
  std::optional<std::string> failure_;
};

// Records one unit's run: each step as it ends, then the steps it never reached. Does nothing
// without a record file.
class UnitRecorder {
 public:
  UnitRecorder(RecordFile* file, const std::map<std::string, FileFacts>& facts,
               const std::vector<LoadStep>& steps, std::string serial, std::string description)
      : file_(file),
        facts_(facts),
        steps_(steps),
        serial_(std::move(serial)),
        description_(std::move(description)) {}

  void Ran(size_t index, std::chrono::system_clock::time_point started, double seconds, int status);
  // Every step from the first not yet recorded: "skipped" after a step that stopped the unit, or
  // `outcome` ("not connected") when none ran. `status` is the unit's exit status.
  void NotReached(const char* outcome, int status);

 private:
  void Write(size_t index, std::chrono::system_clock::time_point started, double seconds,
             const char* outcome, int status);

  RecordFile* file_;
  const std::map<std::string, FileFacts>& facts_;
  const std::vector<LoadStep>& steps_;
  std::string serial_;
  std::string description_;
  size_t recorded_ = 0;
};

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
