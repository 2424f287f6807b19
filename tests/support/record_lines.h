// Record lines as the loaders write them, made up for the tests and benchmarks of the line's
// database: a station's loads (a started line, an attempt per step, an end line), each line with
// its writer run and sequence number and a time in milliseconds, and a plain load's lines as
// older loaders wrote them (no run, no seq, whole seconds). Every field is chosen by the caller
// or counted from the load's number, so a test knows each line's values without reading them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qvx::test {

struct StationRun {
  std::string host = "line-pc-4";
  std::string run = "0123456789abcdef0123456789abcdef";  // 32 hex digits
  std::string operator_name = "ana";
  std::string work_order = "WO-1182";
  std::string set_path = "/jobs/approved.toml";
  std::string set_sha256 = "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08";
  int64_t start_ms = 1796826333123;  // 2026-12-09T14:25:33.123Z
  int64_t seq = 0;                   // the last sequence number written
};

struct UnitLoad {
  std::string serial;
  std::string port = "1-1.2";
  std::string label;           // empty: none scanned
  std::string end = "passed";  // passed, failed, pulled or cut off
  int steps = 2;
  int64_t at_ms = 0;  // from the run's start
};

// The lines of one load of a station run (its number `n` in the run), without line breaks.
std::vector<std::string> StationLoadLines(StationRun& run, const UnitLoad& unit, int n);

// A line as a loader before this version wrote it for one step: no key, no station fields.
std::string PlainStepLine(const std::string& host, const std::string& serial,
                          const std::string& time, int slot, const std::string& outcome);

// "2026-12-09T14:25:33.123Z" for milliseconds since 1970.
std::string IsoMilliseconds(int64_t ms);

// Writes lines to a file, each with its line break.
void WriteLines(const std::string& path, const std::vector<std::string>& lines);

}  // namespace qvx::test
