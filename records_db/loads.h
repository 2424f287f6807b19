// Rows gathered into loads, the unit of find's answers: the lines that name one load (a station's
// start, attempts and end; a plain load's too in files written from this version on), or a line
// of its own where it names none. And the counts of summary: the loads' end lines of a work
// order, per station (the host) and per hour. Both are built from rows alone, so files and the
// database give the same answers.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "records_db/record_row.h"
#include "station/texts.h"

namespace qvx::records_db {

struct Load {
  std::string load_key;
  std::vector<RecordRow> lines;  // in the order they were written
  std::optional<int64_t> time;   // of its first line

  // The first value a line of the load gives for the column.
  std::optional<std::string> First(size_t column) const;
  // The end line's outcome, a lone line's own, or "unfinished" for a load that began and has no
  // end (a crash, a power loss, or a station still loading).
  std::string Outcome() const;
};

// The loads of `rows` (each line once), in the order they began.
std::vector<Load> GroupLoads(std::vector<RecordRow> rows);

// A line that ends a load: passed, failed, pulled or cut off, and no operation of its own.
bool IsLoadEnd(const RecordRow& row);

// The four ends of a load, in summary's order.
inline constexpr std::array<const char*, 4> kLoadEnds{
    station::text::kPassed, station::text::kFailed, station::text::kPulled, station::text::kCutOff};

struct SummaryRow {
  std::string host;
  int64_t hour = 0;  // hours since 1970, UTC
  std::array<size_t, kLoadEnds.size()> counts{};
};

// Counts end lines into rows; rows() in the order of host (byte by byte), then hour.
class SummaryCounter {
 public:
  // `hour` and `host` as the database gives them; Add(row) reads them from a row.
  void Count(const std::string& host, int64_t hour, size_t end, size_t count);
  void Add(const RecordRow& row);
  std::vector<SummaryRow> rows() const;

 private:
  std::map<std::pair<std::string, int64_t>, SummaryRow> rows_;
};

// Hours since 1970 of a time in microseconds.
int64_t HourNumber(int64_t microseconds);

}  // namespace qvx::records_db
