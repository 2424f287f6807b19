// Questions over record files.
#include <set>
#include <unordered_set>

#include "records_db/record_source.h"
#include "records_db/spool.h"
#include "records_db/texts.h"

namespace qvx::records_db {

template <typename Take>
void FileSource::ForEachRow(Take&& take) {
  problems_.clear();
  std::unordered_set<std::string> seen;
  for (const std::string& path : paths_) {
    SpoolReader reader(path);
    if (!reader.is_open()) {
      problems_.push_back(text::Unreadable(path));
      continue;
    }
    auto read = [&](const std::string& text, int64_t number) {
      auto line = ReadRecordLine(text);
      auto* row = std::get_if<RecordRow>(&line);
      if (row == nullptr || !seen.insert(row->key).second)
        return;
      row->line_number = number;
      take(std::move(*row));
    };
    while (auto line = reader.Next())
      read(line->text, line->number);
    // A last line without its break counts when it is whole, as `ship` takes it.
    if (!reader.rest().empty())
      read(reader.rest(), reader.next_number());
  }
}

std::vector<Load> FileSource::Find(const RecordFilter& filter) {
  // Twice through the files, so only the matching loads' lines are held.
  std::set<std::string> matching;
  ForEachRow([&](RecordRow&& row) {
    if (filter.Matches(row))
      matching.insert(row.load_key);
  });
  std::vector<RecordRow> rows;
  ForEachRow([&](RecordRow&& row) {
    if (matching.contains(row.load_key))
      rows.push_back(std::move(row));
  });
  return GroupLoads(std::move(rows));
}

std::vector<SummaryRow> FileSource::Summarize(const std::string& work_order) {
  SummaryCounter counter;
  ForEachRow([&](RecordRow&& row) {
    if (row[kWorkOrderColumn] == work_order)
      counter.Add(row);
  });
  return counter.rows();
}

}  // namespace qvx::records_db
