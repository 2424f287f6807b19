#include "tests/records_db/pg_test.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "records_tool/records_tool.h"

namespace qvx::test {
namespace {

std::atomic<int> databases{0};

void Cluster(const std::string& command, const std::string& dir) {
  std::string line = QVX_PG_CLUSTER;
  line.append(" ").append(command).append(" ").append(dir);
  ASSERT_EQ(std::system(line.c_str()), 0) << line;
}

// The first column of the first row of a query on the database at `url`.
std::string FirstValue(const std::string& url, const std::string& sql,
                       const records_db::Params& params) {
  records_db::Database database(url);
  records_db::Result result = database.Exec(sql, params);
  return result.rows() > 0 && !result.is_null(0, 0) ? result.text(0, 0) : "(null)";
}

}  // namespace

RecordsRun Records(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  RecordsRun run;
  run.status = records_tool::RunRecordsTool(args, out, err);
  run.out = out.str();
  run.err = err.str();
  return run;
}

std::string SharedClusterDir() {
  const char* state = std::getenv("QVX_PG_STATE");
  std::ifstream in(state != nullptr ? state : "");
  std::string dir;
  std::getline(in, dir);
  return dir;
}

std::string ClusterUrl(const std::string& dir, const std::string& database) {
  return "host=" + dir + " user=postgres dbname=" + database;
}

OwnCluster::OwnCluster() {
  // Inside the fixture's folder, so that the fixture's end stops it even after a crash.
  std::string name = SharedClusterDir() + "/own.XXXXXX";
  dir_ = mkdtemp(name.data());
  Cluster("start", dir_);
}

OwnCluster::~OwnCluster() {
  Cluster("stop", dir_);
}

void OwnCluster::Pause() {
  Cluster("pause", dir_);
}

void OwnCluster::Resume() {
  Cluster("resume", dir_);
}

std::string OwnCluster::Url(const std::string& database) const {
  return ClusterUrl(dir_, database);
}

TestDatabase::TestDatabase(const OwnCluster* cluster, const char* encoding) {
  const std::string dir = cluster != nullptr ? cluster->dir() : SharedClusterDir();
  admin_ = ClusterUrl(dir, "postgres");
  // A name of digits and letters only: it is written into the statement, as CREATE DATABASE
  // takes no parameter.
  name_ = "records_" + std::to_string(getpid()) + "_" + std::to_string(databases++);
  records_db::Database server(admin_);
  std::string create = "CREATE DATABASE " + name_;
  if (encoding != nullptr)
    create.append(" TEMPLATE template0 LC_COLLATE 'C' LC_CTYPE 'C' ENCODING '").append(encoding) +=
        "'";
  server.Exec(create);
  url_ = ClusterUrl(dir, name_);
}

TestDatabase::~TestDatabase() {
  try {
    records_db::Database server(admin_);
    server.Exec("DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)");
  } catch (const records_db::DatabaseError&) {
    // A server of the test's own is gone with it.
  }
}

std::string TestDatabase::One(const std::string& sql, const records_db::Params& params) const {
  return FirstValue(url_, sql, params);
}

long TestDatabase::Count(const std::string& where) const {
  return std::stol(One("SELECT count(*) FROM qvx5120.records WHERE " + where));
}

void PgTest::SetUp() {
  char name[] = "/tmp/qvx5120-records-test.XXXXXX";
  folder_ = mkdtemp(name);
  url_ = NewDatabase();
}

void PgTest::TearDown() {
  made_.clear();
  std::filesystem::remove_all(folder_);
}

std::string PgTest::NewDatabase(const OwnCluster* cluster, const char* encoding) {
  made_.push_back(std::make_unique<TestDatabase>(cluster, encoding));
  return made_.back()->url();
}

std::string PgTest::One(const std::string& sql, const records_db::Params& params) {
  return FirstValue(url_, sql, params);
}

long PgTest::Count(const std::string& where) {
  return std::stol(One("SELECT count(*) FROM qvx5120.records WHERE " + where));
}

}  // namespace qvx::test
