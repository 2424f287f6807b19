// The tests of the line's database: each test in a database of its own on the throwaway server
// that the CTest fixture starts (tests/records_db/cluster, its folder named in QVX_PG_STATE), or
// on a server of its own for the tests that stop one; qvx5120-records run in-process.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "records_db/database.h"

namespace qvx::test {

struct RecordsRun {
  int status = -1;
  std::string out;
  std::string err;
};

// qvx5120-records with these arguments, in-process.
RecordsRun Records(const std::vector<std::string>& args);

// A server of the test's own, stopped and removed with it.
class OwnCluster {
 public:
  OwnCluster();
  ~OwnCluster();
  void Pause();
  void Resume();
  std::string Url(const std::string& database) const;
  const std::string& dir() const { return dir_; }

 private:
  std::string dir_;
};

// A database of its own on the fixture's server (or on `cluster`), dropped with it.
class TestDatabase {
 public:
  // `encoding`: the database's, UTF8 unless named.
  explicit TestDatabase(const OwnCluster* cluster = nullptr, const char* encoding = nullptr);
  ~TestDatabase();
  TestDatabase(const TestDatabase&) = delete;
  TestDatabase& operator=(const TestDatabase&) = delete;
  const std::string& url() const { return url_; }
  // The first column of the first row of a query.
  std::string One(const std::string& sql, const records_db::Params& params = {}) const;
  long Count(const std::string& where = "true") const;

 private:
  std::string admin_, name_, url_;
};

class PgTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A fresh database on the fixture's server, or on `cluster` when given.
  std::string NewDatabase(const OwnCluster* cluster = nullptr, const char* encoding = nullptr);
  // The first column of the first row of a query.
  std::string One(const std::string& sql, const records_db::Params& params = {});
  long Count(const std::string& where = "true");
  std::string File(const std::string& name) const { return (folder_ / name).string(); }

  std::string url_;  // this test's database
  std::filesystem::path folder_;

 private:
  std::vector<std::unique_ptr<TestDatabase>> made_;
};

// The fixture's server folder.
std::string SharedClusterDir();
std::string ClusterUrl(const std::string& dir, const std::string& database);

}  // namespace qvx::test
