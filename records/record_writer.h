// The one writer of a record file in a run. A record counts once it is on disk: each line goes out
// whole and synced before Append returns, through a RecordStore that cuts back any part of a line
// that did not go whole. A line that cannot be written (a full disk, a folder that went away) is
// held in memory, in order, and echoed at once to a log stream (standard error) so that a crash
// during the hold still leaves it somewhere; held lines are written, each once, as soon as the file
// takes them again. Every line carries the run's key: a random 128-bit run id and its sequence
// number within the run, which a database can hold unique.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>

#include "records/record.h"
#include "records/record_store.h"

namespace qvx::records {

// Below this many lines' room left on the record's file system, the writer warns.
inline constexpr uint64_t kLowRoomLines = 300;

// How the record stands, for a front end to show.
struct RecordHealth {
  size_t held = 0;                     // lines waiting for the file to take them
  bool failing = false;                // the last line tried could not be written
  bool ever_held = false;              // a line was held at some time in this run
  bool low_on_room = false;            // room for fewer than kLowRoomLines lines left
  std::string reason;                  // why the last failed line could not be written
  std::optional<uint64_t> room_lines;  // about how many more lines fit, when known

  bool operator==(const RecordHealth&) const = default;
};

class RecordWriter {
 public:
  // `log` gets every held line as it is held; null: nowhere.
  explicit RecordWriter(std::string path, RecordStore& store = SystemRecordStore(),
                        std::ostream* log = nullptr);
  RecordWriter(const RecordWriter&) = delete;
  RecordWriter& operator=(const RecordWriter&) = delete;

  enum class Written { kOnDisk, kHeld, kNotWritten };
  // After any held lines, the record's line; held when it cannot be written now.
  Written Append(const StepRecord& record);
  // The record's line, only if it goes to disk now and nothing is held before it; never held. For
  // a line that must be on disk before something else may happen (a load's first line).
  Written AppendNow(const StepRecord& record);
  // Writes the held lines, in order, as far as the file takes them; true when none is held after.
  bool Retry();

  RecordHealth health() const;
  const std::string& path() const { return path_; }
  const std::string& run() const { return run_; }
  // Called, with this writer's lock held, with each line (no line break) once it is on disk, in
  // file order. Set before the first line.
  void OnWritten(std::function<void(const std::string&)> written) { written_ = std::move(written); }

 private:
  std::string LineOf(const StepRecord& record);  // the next sequence number's line
  bool WriteOne(const std::string& line);        // with mutex_ held
  bool FlushHeld();                              // with mutex_ held
  void Hold(std::string line);                   // with mutex_ held

  std::string path_;
  RecordStore& store_;
  std::ostream* log_;
  std::string run_;
  mutable std::mutex mutex_;
  uint64_t seq_ = 0;
  std::deque<std::string> held_;
  RecordHealth health_;
  uint64_t longest_line_ = 256;
  std::function<void(const std::string&)> written_;
};

// A fresh random 128-bit run id in lower-case hex.
std::string NewRunId();

}  // namespace qvx::records
