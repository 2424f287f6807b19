// Questions over the database: it picks the rows through its indexes, and the rows become
// loads and counts as they do for files.
#include "records_db/record_source.h"
#include "records_db/texts.h"

namespace qvx::records_db {

std::vector<Load> DatabaseSource::Find(const RecordFilter& filter) {
  Params params;
  const std::string where = filter.Where(params);
  Result found = database_.Exec(
      "SELECT key, load_key, coalesce(line::text, line_text), line_number FROM qvx5120.records"
      " WHERE load_key IN (SELECT load_key FROM qvx5120.records WHERE true" +
          where + ")",
      params);
  std::vector<RecordRow> rows;
  rows.reserve(found.rows());
  for (int i = 0; i < found.rows(); ++i) {
    auto line = ReadRecordLine(found.text(i, 2));
    auto* row = std::get_if<RecordRow>(&line);
    if (row == nullptr)
      continue;  // only records are shipped
    // The key of a line without one is the hash of the bytes as written, which jsonb's text of
    // the line does not keep.
    row->key = found.text(i, 0);
    row->load_key = found.text(i, 1);
    row->line_number = found.is_null(i, 3) ? 0 : std::stoll(found.text(i, 3));
    rows.push_back(std::move(*row));
  }
  return GroupLoads(std::move(rows));
}

std::vector<SummaryRow> DatabaseSource::Summarize(const std::string& work_order) {
  Params params{work_order};
  std::string ends;
  for (const char* end : kLoadEnds) {
    params.push_back(end);
    ends += (ends.empty() ? "$" : ", $") + std::to_string(params.size());
  }
  Result found = database_.Exec(
      "SELECT coalesce(host, ''), floor(extract(epoch FROM time) / 3600)::bigint, outcome,"
      " count(*) FROM qvx5120.records WHERE work_order = $1 AND operation IS NULL"
      " AND outcome IN (" +
          ends + ") AND time IS NOT NULL GROUP BY 1, 2, 3",
      params);
  SummaryCounter counter;
  for (int i = 0; i < found.rows(); ++i) {
    for (size_t end = 0; end < kLoadEnds.size(); ++end) {
      if (found.text(i, 2) == kLoadEnds[end])
        counter.Count(found.text(i, 0), std::stoll(found.text(i, 1)), end,
                      std::stoull(found.text(i, 3)));
    }
  }
  return counter.rows();
}

}  // namespace qvx::records_db
