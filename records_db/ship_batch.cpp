// COPY, INSERT ... ON CONFLICT DO NOTHING and the file's mark, in one transaction.
#include "records_db/ship_batch.h"

#include "records_db/record_time.h"

namespace qvx::records_db {
namespace {

const char* SqlType(ColumnType type) {
  switch (type) {
    case ColumnType::kTime:
      return "timestamptz";
    case ColumnType::kText:
      return "text";
    case ColumnType::kRun:
      return "uuid";
    case ColumnType::kInteger:
      return "integer";
    case ColumnType::kBig:
      return "bigint";
    case ColumnType::kNumber:
      return "double precision";
  }
  return "text";
}

std::string TypedColumns(bool with_types) {
  std::string list;
  for (const Column& column : kColumns) {
    list += ", ";
    list += column.name;
    if (with_types) {
      list += ' ';
      list += SqlType(column.type);
    }
  }
  return list;
}

// A value as COPY's text format writes it.
void AppendCopyValue(std::string& out, const std::optional<std::string>& value) {
  if (!value) {
    out += "\\N";
    return;
  }
  for (char c : *value) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        out += c;
    }
  }
}

// The value a typed column is written with: times in PostgreSQL's own form.
std::optional<std::string> ColumnValue(const RecordRow& row, size_t column) {
  if (kColumns[column].type == ColumnType::kTime)
    return row.time ? std::optional(PostgresTime(*row.time)) : std::nullopt;
  return row.values[column];
}

// A data exception or a limit of the server: the batch holds a line it cannot take as it is.
bool RefusesAValue(const DatabaseError& error) {
  return !error.connection_lost() &&
         (error.sqlstate().starts_with("22") || error.sqlstate().starts_with("54"));
}

void RollBack(Database& database) {
  try {
    database.Exec("ROLLBACK");
  } catch (const DatabaseError&) {
    // The connection is gone, and its transaction with it.
  }
}

}  // namespace

std::vector<std::string> ShippedColumns() {
  std::vector<std::string> names{"key"};
  for (const Column& column : kColumns)
    names.push_back(column.name);
  for (const char* name : {"load_key", "line", "line_text", "problem", "source", "line_number"})
    names.push_back(name);
  return names;
}

BatchShipper::BatchShipper(Database& database, std::string source)
    : database_(database), source_(std::move(source)) {}

BatchResult BatchShipper::Ship(const std::vector<RecordRow>& rows,
                               const std::optional<ShipMark>& mark) {
  if (!staging_ready_) {
    database_.Exec("CREATE TEMP TABLE IF NOT EXISTS staging (key text" + TypedColumns(true) +
                   ", load_key text, line_text text, as_jsonb boolean, problem text,"
                   " line_number bigint) ON COMMIT DELETE ROWS");
    staging_ready_ = true;
  }
  std::string data;
  for (const RecordRow& row : rows) {
    AppendCopyValue(data, row.key);
    for (size_t i = 0; i < kColumns.size(); ++i) {
      data += '\t';
      AppendCopyValue(data, ColumnValue(row, i));
    }
    data += '\t';
    AppendCopyValue(data, row.load_key);
    data += '\t';
    AppendCopyValue(data, row.text);
    data += row.jsonb_problem ? "\tf\t" : "\tt\t";
    AppendCopyValue(data, row.jsonb_problem);
    data += '\t';
    data += std::to_string(row.line_number);
    data += '\n';
  }
  BatchResult result;
  database_.Exec("BEGIN");
  try {
    if (!rows.empty()) {
      database_.CopyIn("COPY staging FROM STDIN", data);
      const std::string columns = TypedColumns(false);
      // Lines already there are passed over before their text is made jsonb, which is most of the
      // work of a line shipped again; ON CONFLICT covers one that lands meanwhile from elsewhere.
      result.added =
          database_
              .Exec("INSERT INTO qvx5120.records (key" + columns +
                        ", load_key, line, line_text, problem, source, line_number)"
                        " SELECT key" +
                        columns +
                        ", load_key, CASE WHEN as_jsonb THEN line_text::jsonb END,"
                        " CASE WHEN NOT as_jsonb THEN line_text END, problem, $1, line_number"
                        " FROM staging WHERE NOT EXISTS (SELECT FROM qvx5120.records AS r"
                        " WHERE r.key = staging.key) ON CONFLICT DO NOTHING",
                    {source_})
              .affected();
    }
    if (mark)
      Mark(*mark, rows.size());
    database_.Exec("COMMIT");
  } catch (const DatabaseError& error) {
    RollBack(database_);
    if (!RefusesAValue(error))
      throw;
    // Some line holds what jsonb cannot take: each line on its own, the refused ones as text.
    database_.Exec("BEGIN");
    try {
      result = ShipRowByRow(rows);
      if (mark)
        Mark(*mark, rows.size());
      database_.Exec("COMMIT");
    } catch (const DatabaseError&) {
      RollBack(database_);
      throw;
    }
  }
  return result;
}

BatchResult BatchShipper::ShipRowByRow(const std::vector<RecordRow>& rows) {
  const std::vector<std::string> names = ShippedColumns();
  std::string columns, placeholders;
  for (size_t i = 0; i < names.size(); ++i) {
    columns += (i ? ", " : "") + names[i];
    placeholders += (i ? ", $" : "$") + std::to_string(i + 1);
  }
  const std::string insert = "INSERT INTO qvx5120.records (" + columns + ") VALUES (" +
                             placeholders + ") ON CONFLICT DO NOTHING";
  BatchResult result;
  for (const RecordRow& row : rows) {
    std::optional<std::string> problem = row.jsonb_problem;
    for (;;) {
      Params params{row.key};
      for (size_t i = 0; i < kColumns.size(); ++i)
        params.push_back(ColumnValue(row, i));
      params.push_back(row.load_key);
      params.push_back(problem ? std::nullopt : std::optional(row.text));
      params.push_back(problem ? std::optional(row.text) : std::nullopt);
      params.push_back(problem);
      params.push_back(source_);
      params.push_back(std::to_string(row.line_number));
      database_.Exec("SAVEPOINT line");
      try {
        result.added += database_.Exec(insert, params).affected();
        database_.Exec("RELEASE SAVEPOINT line");
        if (problem && !row.jsonb_problem)
          result.kept_as_text.push_back({row.line_number, *problem});
        break;
      } catch (const DatabaseError& error) {
        if (problem || !RefusesAValue(error))
          throw;
        database_.Exec("ROLLBACK TO SAVEPOINT line");
        problem = error.primary();
      }
    }
  }
  return result;
}

void BatchShipper::Mark(const ShipMark& mark, size_t lines) {
  database_.Exec(
      "INSERT INTO qvx5120.shipped (source, head_sha256, from_offset, through_offset,"
      " through_line, lines) VALUES ($1, $2, $3, $4, $5, $6)",
      {source_, mark.head_sha256, std::to_string(mark.from_offset),
       std::to_string(mark.through_offset), std::to_string(mark.through_line),
       std::to_string(lines)});
}

std::optional<ShipMark> LastMark(Database& database, const std::string& source,
                                 const std::string& head_sha256) {
  Result found = database.Exec(
      "SELECT from_offset, through_offset, through_line FROM qvx5120.shipped"
      " WHERE source = $1 AND head_sha256 = $2 ORDER BY through_offset DESC LIMIT 1",
      {source, head_sha256});
  if (found.rows() == 0)
    return std::nullopt;
  return ShipMark{head_sha256, std::stoull(found.text(0, 0)), std::stoull(found.text(0, 1)),
                  std::stoll(found.text(0, 2))};
}

}  // namespace qvx::records_db
