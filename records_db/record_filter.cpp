// Matching rows, and the same match in SQL.
#include "records_db/record_filter.h"

#include "records_db/record_time.h"

namespace qvx::records_db {
namespace {

bool Equal(const std::optional<std::string>& value, const std::optional<std::string>& wanted) {
  return !wanted || (value && *value == *wanted);
}

bool Begins(const std::optional<std::string>& value, const std::optional<std::string>& prefix) {
  return !prefix || (value && value->starts_with(*prefix));
}

std::string Next(Params& params, std::string value) {
  params.push_back(std::move(value));
  return "$" + std::to_string(params.size());
}

}  // namespace

bool RecordFilter::Matches(const RecordRow& row) const {
  return Equal(row[kSerialColumn], serial) && Equal(row[kWorkOrderColumn], work_order) &&
         Equal(row[kLabelColumn], label) && Begins(row[kSetSha256Column], set_sha256) &&
         Begins(row[kFileSha256Column], file_sha256) &&
         (!since || (row.time && *row.time >= *since)) &&
         (!until || (row.time && *row.time < *until));
}

std::string RecordFilter::Where(Params& params) const {
  std::string where;
  auto equal = [&](const char* column, const std::optional<std::string>& wanted) {
    if (wanted)
      where += std::string(" AND ") + column + " = " + Next(params, *wanted);
  };
  // A hash column is in the C collation, so a prefix is a range of its index.
  auto begins = [&](const char* column, const std::optional<std::string>& prefix) {
    if (prefix)
      where += std::string(" AND ") + column + " LIKE " + Next(params, *prefix + "%");
  };
  equal("serial", serial);
  equal("work_order", work_order);
  equal("label", label);
  begins("set_sha256", set_sha256);
  begins("file_sha256", file_sha256);
  if (since)
    where += " AND time >= " + Next(params, PostgresTime(*since)) + "::timestamptz";
  if (until)
    where += " AND time < " + Next(params, PostgresTime(*until)) + "::timestamptz";
  return where;
}

std::optional<std::string> HashPrefix(const std::string& typed) {
  if (typed.empty() || typed.size() > 64)
    return std::nullopt;
  std::string hex;
  for (char c : typed) {
    if (c >= 'A' && c <= 'F')
      c = static_cast<char>(c - 'A' + 'a');
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
      return std::nullopt;
    hex += c;
  }
  return hex;
}

}  // namespace qvx::records_db
