// Shipping one batch of rows: COPY into a temporary staging table, then INSERT ... ON CONFLICT
// DO NOTHING into qvx5120.records, with the row that says how far the file is shipped, all in one
// transaction. A batch is in the database whole or not at all; a line already there (by its key)
// is passed over, so shipping again adds nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "records_db/database.h"
#include "records_db/record_row.h"

namespace qvx::records_db {

// How far a file is shipped once a batch is in: the row of qvx5120.shipped.
struct ShipMark {
  std::string head_sha256;  // the file's first line, which tells it from another of its name
  uint64_t from_offset = 0;
  uint64_t through_offset = 0;
  int64_t through_line = 0;  // the number of the batch's last line
};

// A line the database took as text only, and why (PostgreSQL's own words).
struct KeptAsText {
  int64_t line_number;
  std::string why;
};

struct BatchResult {
  size_t added = 0;  // the rows that were new
  std::vector<KeptAsText> kept_as_text;
};

class BatchShipper {
 public:
  // `source` names where the rows come from: "<host>:<absolute path>".
  BatchShipper(Database& database, std::string source);

  // Throws DatabaseError; then nothing of the batch is in the database.
  BatchResult Ship(const std::vector<RecordRow>& rows, const std::optional<ShipMark>& mark);

 private:
  BatchResult ShipRowByRow(const std::vector<RecordRow>& rows);
  void Mark(const ShipMark& mark, size_t lines);

  Database& database_;
  std::string source_;
  bool staging_ready_ = false;
};

// The columns of qvx5120.records that shipping writes, in the order it writes them.
std::vector<std::string> ShippedColumns();

// How far the file known by `source` and its head was shipped to; nothing when it never was.
std::optional<ShipMark> LastMark(Database& database, const std::string& source,
                                 const std::string& head_sha256);

}  // namespace qvx::records_db
