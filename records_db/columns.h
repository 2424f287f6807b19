// The typed columns of a record row: which field of the JSON line each is read from and what it
// holds. One table, read when a line becomes a row (for the database and for files alike), when
// a batch is copied into the database and when rows are exported; migrations/0001_records.sql
// declares the same columns, and a test holds the two together.
#pragma once

#include <array>
#include <cstddef>

namespace qvx::records_db {

enum class ColumnType {
  kTime,     // an ISO 8601 text in UTC (record_time.h); timestamptz
  kText,     // a JSON string; text
  kRun,      // 32 lower-case hex digits; uuid
  kInteger,  // a JSON integer that fits 32 bits; integer
  kBig,      // a JSON integer that fits 64 bits; bigint
  kNumber,   // any JSON number; double precision
};

struct Column {
  const char* name;    // the database column's name, and the CSV heading
  const char* field;   // the line's field
  const char* member;  // within the field's object ("file": {"sha256": ...}); null for a field
  ColumnType type;
};

inline constexpr std::array kColumns{
    Column{"time", "time", nullptr, ColumnType::kTime},
    Column{"host", "host", nullptr, ColumnType::kText},
    Column{"run", "run", nullptr, ColumnType::kRun},
    Column{"seq", "seq", nullptr, ColumnType::kBig},
    Column{"load", "load", nullptr, ColumnType::kText},
    Column{"serial", "serial", nullptr, ColumnType::kText},
    Column{"description", "description", nullptr, ColumnType::kText},
    Column{"port", "port", nullptr, ColumnType::kText},
    Column{"kind", "kind", nullptr, ColumnType::kText},
    Column{"operation", "operation", nullptr, ColumnType::kText},
    Column{"slot", "slot", nullptr, ColumnType::kInteger},
    Column{"file_path", "file", "path", ColumnType::kText},
    Column{"file_sha256", "file", "sha256", ColumnType::kText},
    Column{"file_size", "file", "size", ColumnType::kBig},
    Column{"outcome", "outcome", nullptr, ColumnType::kText},
    Column{"attempt", "attempt", nullptr, ColumnType::kInteger},
    Column{"steps", "steps", nullptr, ColumnType::kInteger},
    Column{"seconds", "seconds", nullptr, ColumnType::kNumber},
    Column{"reason", "reason", nullptr, ColumnType::kText},
    Column{"label", "label", nullptr, ColumnType::kText},
    Column{"operator", "operator", nullptr, ColumnType::kText},
    Column{"work_order", "work_order", nullptr, ColumnType::kText},
    Column{"set_path", "set", "path", ColumnType::kText},
    Column{"set_sha256", "set", "sha256", ColumnType::kText},
    Column{"version", "version", nullptr, ColumnType::kText},
    Column{"exit_status", "exit_status", nullptr, ColumnType::kInteger},
};

// The columns the questions filter and count by, as indexes into kColumns.
enum ColumnIndex : size_t {
  kTimeColumn = 0,
  kHostColumn = 1,
  kRunColumn = 2,
  kSeqColumn = 3,
  kLoadColumn = 4,
  kSerialColumn = 5,
  kOperationColumn = 9,
  kFileSha256Column = 12,
  kOutcomeColumn = 14,
  kLabelColumn = 19,
  kOperatorColumn = 20,
  kWorkOrderColumn = 21,
  kSetSha256Column = 23,
};

// Index into kColumns by name at compile time, so the enum above cannot drift from the table.
constexpr size_t ColumnNamed(const char* name) {
  for (size_t i = 0; i < kColumns.size(); ++i) {
    const char* a = kColumns[i].name;
    const char* b = name;
    while (*a != '\0' && *a == *b) {
      ++a;
      ++b;
    }
    if (*a == *b)
      return i;
  }
  return kColumns.size();
}

static_assert(ColumnNamed("time") == kTimeColumn && ColumnNamed("host") == kHostColumn &&
              ColumnNamed("run") == kRunColumn && ColumnNamed("seq") == kSeqColumn &&
              ColumnNamed("load") == kLoadColumn && ColumnNamed("serial") == kSerialColumn &&
              ColumnNamed("operation") == kOperationColumn &&
              ColumnNamed("file_sha256") == kFileSha256Column &&
              ColumnNamed("outcome") == kOutcomeColumn && ColumnNamed("label") == kLabelColumn &&
              ColumnNamed("operator") == kOperatorColumn &&
              ColumnNamed("work_order") == kWorkOrderColumn &&
              ColumnNamed("set_sha256") == kSetSha256Column);

}  // namespace qvx::records_db
