// Where the questions are asked: record files, or the database they were shipped to. Both give
// the same answers to the same question, since both answer from the same rows (record_row.h):
// each line once by its key, a load with a line that matches, the ends of a work order's loads.
#pragma once

#include <string>
#include <vector>

#include "records_db/database.h"
#include "records_db/loads.h"
#include "records_db/record_filter.h"

namespace qvx::records_db {

class RecordSource {
 public:
  virtual ~RecordSource() = default;
  // The loads with a line that matches every filter, in the order they began.
  virtual std::vector<Load> Find(const RecordFilter& filter) = 0;
  // The ends of the work order's loads per station and hour.
  virtual std::vector<SummaryRow> Summarize(const std::string& work_order) = 0;
};

// Record files, read whole for every question. Lines that are not records are passed over;
// a file that cannot be read is named in problems().
class FileSource final : public RecordSource {
 public:
  explicit FileSource(std::vector<std::string> paths) : paths_(std::move(paths)) {}
  std::vector<Load> Find(const RecordFilter& filter) override;
  std::vector<SummaryRow> Summarize(const std::string& work_order) override;
  const std::vector<std::string>& problems() const { return problems_; }

 private:
  // Calls `take` with each record line of the files once (a line shipped in two files counts
  // once, by its key).
  template <typename Take>
  void ForEachRow(Take&& take);

  std::vector<std::string> paths_;
  std::vector<std::string> problems_;
};

// qvx5120.records, through the indexes of its filtered columns. Throws DatabaseError.
class DatabaseSource final : public RecordSource {
 public:
  explicit DatabaseSource(Database& database) : database_(database) {}
  std::vector<Load> Find(const RecordFilter& filter) override;
  std::vector<SummaryRow> Summarize(const std::string& work_order) override;

 private:
  Database& database_;
};

}  // namespace qvx::records_db
