// Gathering loads and counting their ends.
#include "records_db/loads.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <tuple>

#include "records/texts.h"
#include "records_db/texts.h"

namespace qvx::records_db {
namespace {

// A line without a time sorts after every line with one.
int64_t SortTime(const std::optional<int64_t>& time) {
  return time.value_or(std::numeric_limits<int64_t>::max());
}

int64_t SortSeq(const RecordRow& row) {
  const auto& seq = row[kSeqColumn];
  return seq ? std::stoll(*seq) : 0;
}

std::optional<size_t> EndIndex(const std::string& outcome) {
  for (size_t i = 0; i < kLoadEnds.size(); ++i) {
    if (outcome == kLoadEnds[i])
      return i;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> Load::First(size_t column) const {
  for (const RecordRow& line : lines) {
    if (line[column] && !line[column]->empty())
      return line[column];
  }
  return std::nullopt;
}

std::string Load::Outcome() const {
  for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
    if (IsLoadEnd(*line))
      return *(*line)[kOutcomeColumn];
  }
  if (lines.size() == 1 && lines.front()[kOutcomeColumn] &&
      *lines.front()[kOutcomeColumn] != records::text::kStarted)
    return *lines.front()[kOutcomeColumn];
  return text::kUnfinished;
}

std::vector<Load> GroupLoads(std::vector<RecordRow> rows) {
  std::map<std::string, size_t> index;
  std::vector<Load> loads;
  for (RecordRow& row : rows) {
    auto [at, added] = index.try_emplace(row.load_key, loads.size());
    if (added)
      loads.push_back(Load{row.load_key, {}, std::nullopt});
    loads[at->second].lines.push_back(std::move(row));
  }
  for (Load& load : loads) {
    // One writer wrote a load's lines: by their sequence where they have one, else by time and
    // then by their place in the file (older lines have whole seconds only).
    std::sort(load.lines.begin(), load.lines.end(), [](const RecordRow& a, const RecordRow& b) {
      return std::make_tuple(SortSeq(a), SortTime(a.time), a.line_number, std::cref(a.key)) <
             std::make_tuple(SortSeq(b), SortTime(b.time), b.line_number, std::cref(b.key));
    });
    for (const RecordRow& line : load.lines) {
      if (line.time && (!load.time || *line.time < *load.time))
        load.time = line.time;
    }
  }
  std::sort(loads.begin(), loads.end(), [](const Load& a, const Load& b) {
    const int64_t ta = SortTime(a.time), tb = SortTime(b.time);
    return ta != tb ? ta < tb : a.load_key < b.load_key;
  });
  return loads;
}

bool IsLoadEnd(const RecordRow& row) {
  return row[kOutcomeColumn] && EndIndex(*row[kOutcomeColumn]) && !row[kOperationColumn];
}

int64_t HourNumber(int64_t microseconds) {
  constexpr int64_t kHour = 3600LL * 1000000;
  return microseconds / kHour - (microseconds % kHour < 0);
}

void SummaryCounter::Count(const std::string& host, int64_t hour, size_t end, size_t count) {
  SummaryRow& row = rows_[{host, hour}];
  row.host = host;
  row.hour = hour;
  row.counts[end] += count;
}

void SummaryCounter::Add(const RecordRow& row) {
  if (!IsLoadEnd(row) || !row.time)
    return;
  Count(row[kHostColumn].value_or(""), HourNumber(*row.time), *EndIndex(*row[kOutcomeColumn]), 1);
}

std::vector<SummaryRow> SummaryCounter::rows() const {
  std::vector<SummaryRow> rows;
  for (const auto& [key, row] : rows_)
    rows.push_back(row);
  return rows;
}

}  // namespace qvx::records_db
