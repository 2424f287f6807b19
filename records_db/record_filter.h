// Which records a question is about: find's and export's filters, matched against rows read
// from files and written as the WHERE clause of the same question to the database (its values
// as parameters). A load is in the answer when one of its lines matches every filter given.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "records_db/database.h"
#include "records_db/record_row.h"

namespace qvx::records_db {

struct RecordFilter {
  std::optional<std::string> serial;
  std::optional<std::string> work_order;
  std::optional<std::string> label;
  // Lower-case hex, 1 to 64 digits: the hashes that begin with them (find shows 12).
  std::optional<std::string> set_sha256;
  std::optional<std::string> file_sha256;
  std::optional<int64_t> since;  // at or after, microseconds since 1970 (record_time.h)
  std::optional<int64_t> until;  // before

  bool Matches(const RecordRow& row) const;
  // " AND serial = $1 AND ..." over the columns of qvx5120.records, its values added to `params`.
  std::string Where(Params& params) const;
};

// A hash as a filter takes it: hex digits only, in lower case; nothing for any other text.
std::optional<std::string> HashPrefix(const std::string& typed);

}  // namespace qvx::records_db
