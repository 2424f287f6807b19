// One connection to PostgreSQL through libpq: statements with their values passed as parameters
// (never pasted into the SQL), COPY from memory, and every failure as a DatabaseError that says
// whether the connection itself was lost, which a shipper answers by connecting again.
#pragma once

#include <libpq-fe.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace qvx::records_db {

class DatabaseError : public std::runtime_error {
 public:
  DatabaseError(const std::string& message, std::string sqlstate, bool connection_lost,
                std::string primary = {})
      : std::runtime_error(message),
        sqlstate_(std::move(sqlstate)),
        primary_(primary.empty() ? message : std::move(primary)),
        connection_lost_(connection_lost) {}
  // The server's SQLSTATE ("23505"); empty when the server gave none.
  const std::string& sqlstate() const { return sqlstate_; }
  // The server's one-line message, without its detail and context.
  const std::string& primary() const { return primary_; }
  // The connection is gone (the server stopped or the network failed): connecting again may
  // succeed, and nothing of an open transaction was kept.
  bool connection_lost() const { return connection_lost_; }

 private:
  std::string sqlstate_;
  std::string primary_;
  bool connection_lost_;
};

using Params = std::vector<std::optional<std::string>>;

// The rows of a statement, read as text.
class Result {
 public:
  explicit Result(PGresult* result) : result_(result) {}
  ~Result() { PQclear(result_); }
  Result(Result&& other) noexcept : result_(other.result_) { other.result_ = nullptr; }
  Result(const Result&) = delete;
  Result& operator=(const Result&) = delete;

  int rows() const { return PQntuples(result_); }
  bool is_null(int row, int column) const { return PQgetisnull(result_, row, column) != 0; }
  std::string text(int row, int column) const { return PQgetvalue(result_, row, column); }
  std::optional<std::string> value(int row, int column) const;
  // How many rows an INSERT added.
  long affected() const;

 private:
  PGresult* result_;
};

class Database {
 public:
  // Connects to `url` (a postgresql:// URL or libpq's key words); throws DatabaseError. Every
  // session works in UTC, and in UTF-8 whatever the client's locale.
  explicit Database(const std::string& url);
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  Result Exec(const std::string& sql, const Params& params = {});
  // COPY ... FROM STDIN with `data` in COPY's text format.
  void CopyIn(const std::string& sql, const std::string& data);

 private:
  [[noreturn]] void Fail(PGresult* result);

  PGconn* connection_;
};

// Why a connection text is refused before connecting: it cannot be read, or it holds a password
// (which belongs in the password file or the service file, never on a command line).
std::optional<std::string> RefusedUrl(const std::string& url);

}  // namespace qvx::records_db
