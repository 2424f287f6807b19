// A record line as the database holds it: its key, the load it belongs to, and the typed
// columns of kColumns read from its JSON. Any JSON object is a record line; a field that is
// missing, or held with another type than its column's, leaves the column empty (NULL). The same
// rows answer the questions over files and over the database, so both give the same answers.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "records_db/columns.h"

namespace qvx::records_db {

struct RecordRow {
  std::string text;  // the line as written, without its line break
  // "<run>/<seq>" for a line with both, else "sha256:<hex of the line's bytes>".
  std::string key;
  // "<host> <load>" for a line of a named load, else the line's own key.
  std::string load_key;
  // Each column's value as text (a string as it is, a number as JSON writes it).
  std::array<std::optional<std::string>, kColumns.size()> values;
  std::optional<int64_t> time;  // the "time" column in microseconds since 1970, UTC
  // Why PostgreSQL's jsonb cannot hold the line, which then keeps its text; nothing when it can.
  std::optional<std::string> jsonb_problem;
  int64_t line_number = 0;  // in the file it was read from, from 1

  const std::optional<std::string>& operator[](size_t column) const { return values[column]; }
};

// Why a line is not a record, in words ("not JSON: ..."), for "FILE:LINE: ..." messages.
struct NotARecord {
  std::string why;
};

// The row of one line (without its line break).
std::variant<RecordRow, NotARecord> ReadRecordLine(std::string_view text);

}  // namespace qvx::records_db
