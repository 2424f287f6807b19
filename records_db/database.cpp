// The libpq connection.
#include "records_db/database.h"

#include <cstdlib>
#include <cstring>

#include "records_db/texts.h"

namespace qvx::records_db {
namespace {

// A server that does not answer a connection within this long is unreachable for now.
constexpr const char* kConnectTimeoutSeconds = "10";

// libpq's message without its closing line break.
std::string Trimmed(const char* message) {
  std::string text = message != nullptr ? message : "";
  while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
    text.pop_back();
  return text;
}

}  // namespace

std::optional<std::string> Result::value(int row, int column) const {
  if (is_null(row, column))
    return std::nullopt;
  return text(row, column);
}

long Result::affected() const {
  const char* count = PQcmdTuples(result_);
  return count != nullptr && *count != '\0' ? std::strtol(count, nullptr, 10) : 0;
}

Database::Database(const std::string& url) {
  // Later entries win: the URL's own settings over the defaults before it, UTF-8 over the URL.
  const char* keywords[] = {"application_name", "connect_timeout", "dbname", "client_encoding",
                            nullptr};
  const char* values[] = {"qvx5120-records", kConnectTimeoutSeconds, url.c_str(), "UTF8", nullptr};
  connection_ = PQconnectdbParams(keywords, values, 1);
  if (PQstatus(connection_) != CONNECTION_OK) {
    const std::string message = Trimmed(PQerrorMessage(connection_));
    PQfinish(connection_);
    throw DatabaseError(text::kUnreachable + message, "", true);
  }
  // The server's notices ("relation already exists, skipping") are no user's business.
  PQsetNoticeProcessor(
      connection_, [](void*, const char*) {}, nullptr);
  Exec("SET TimeZone TO 'UTC'");
}

Database::~Database() {
  PQfinish(connection_);
}

void Database::Fail(PGresult* result) {
  // Read before the result is cleared: the fields live in it.
  const char* state = result != nullptr ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
  const std::string sqlstate = state != nullptr ? state : "";
  const char* primary =
      result != nullptr ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
  const std::string primary_text = primary != nullptr ? primary : "";
  std::string message =
      Trimmed(result != nullptr ? PQresultErrorMessage(result) : PQerrorMessage(connection_));
  if (message.empty())
    message = Trimmed(PQerrorMessage(connection_));
  PQclear(result);
  // A server shutting down ends its sessions with 57P01..57P03 before the connection drops.
  const bool lost = PQstatus(connection_) == CONNECTION_BAD || sqlstate.starts_with("57P") ||
                    sqlstate.starts_with("08");
  throw DatabaseError(lost ? text::kUnreachable + message : message, sqlstate, lost, primary_text);
}

Result Database::Exec(const std::string& sql, const Params& params) {
  std::vector<const char*> values;
  values.reserve(params.size());
  for (const auto& param : params)
    values.push_back(param ? param->c_str() : nullptr);
  // Without values, the simple protocol, which takes a migration's many statements at once.
  PGresult* result = params.empty()
                         ? PQexec(connection_, sql.c_str())
                         : PQexecParams(connection_, sql.c_str(), static_cast<int>(values.size()),
                                        nullptr, values.data(), nullptr, nullptr, 0);
  const ExecStatusType status = PQresultStatus(result);
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
    Fail(result);
  return Result(result);
}

void Database::CopyIn(const std::string& sql, const std::string& data) {
  PGresult* result = PQexec(connection_, sql.c_str());
  if (PQresultStatus(result) != PGRES_COPY_IN)
    Fail(result);
  PQclear(result);
  if (PQputCopyData(connection_, data.data(), static_cast<int>(data.size())) != 1 ||
      PQputCopyEnd(connection_, nullptr) != 1)
    Fail(nullptr);
  result = PQgetResult(connection_);
  if (PQresultStatus(result) != PGRES_COMMAND_OK)
    Fail(result);
  PQclear(result);
  // COPY ends with a null result once all of it is read.
  while ((result = PQgetResult(connection_)) != nullptr)
    PQclear(result);
}

std::optional<std::string> RefusedUrl(const std::string& url) {
  char* error = nullptr;
  PQconninfoOption* options = PQconninfoParse(url.c_str(), &error);
  if (options == nullptr) {
    std::string message = error != nullptr ? Trimmed(error) : text::kNoMemory;
    PQfreemem(error);
    return text::NotAConnection(message);
  }
  std::optional<std::string> refused;
  for (PQconninfoOption* option = options; option->keyword != nullptr; ++option) {
    if (std::strcmp(option->keyword, "password") == 0 && option->val != nullptr &&
        *option->val != '\0')
      refused = text::kPasswordInUrl;
  }
  PQconninfoFree(options);
  return refused;
}

}  // namespace qvx::records_db
