// The database stopped while records are shipped, and started again: the tool goes on where
// the database's mark of the file says, the station's shipper counts what waits and catches up,
// and every line is in the database exactly once. Each test runs a server of its own, since it
// stops it.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "records_db/record_shipper.h"
#include "tests/records_db/pg_test.h"
#include "tests/support/record_lines.h"

namespace qvx::test {
namespace {

using namespace std::chrono_literals;

// Waits (up to 60 s) until `done` holds; false if it never did. A database that is not there
// yet, or has no schema yet, does not hold it.
template <typename Done>
bool Eventually(Done&& done) {
  auto holds = [&] {
    try {
      return done();
    } catch (const records_db::DatabaseError&) {
      return false;
    }
  };
  for (auto until = std::chrono::steady_clock::now() + 60s;
       std::chrono::steady_clock::now() < until; std::this_thread::sleep_for(20ms)) {
    if (holds())
      return true;
  }
  return holds();
}

std::vector<std::string> Loads(StationRun& run, int first, int count) {
  std::vector<std::string> lines;
  for (int n = first; n < first + count; ++n) {
    auto more = StationLoadLines(
        run, {"QVX" + std::to_string(10000 + n), "1-1.1", "", "passed", 2, n * 1000}, n);
    lines.insert(lines.end(), more.begin(), more.end());
  }
  return lines;
}

class OutageTest : public PgTest {
 protected:
  void SetUp() override {
    PgTest::SetUp();
    url_ = NewDatabase(&cluster_);
  }
  // Whether every sequence number 1 to n is in the database once, and nothing else.
  bool EachOnce(long n) {
    return Count() == n &&
           One("SELECT count(DISTINCT seq) FROM qvx5120.records WHERE seq BETWEEN 1 AND $1",
               {std::to_string(n)}) == std::to_string(n);
  }

  OwnCluster cluster_;
};

TEST_F(OutageTest, ShipGoesOnWhereItStoppedWhenTheDatabaseComesBack) {
  StationRun run;
  const auto lines = Loads(run, 1, 2500);  // 10000 lines
  const std::string file = File("line-4.jsonl");
  WriteLines(file, lines);
  RecordsRun shipped;
  std::jthread ship([&] {
    shipped = Records({"ship", "--to", url_, "--batch-lines", "500", "--wait", "60", file});
  });
  // Once some batches are in, hold the next one at the table, then stop the server under it.
  ASSERT_TRUE(Eventually([&] { return Count() >= 1000; }));
  {
    records_db::Database blocker(url_);
    blocker.Exec("BEGIN");
    blocker.Exec("LOCK TABLE qvx5120.records IN EXCLUSIVE MODE");
    const long before = Count("true");
    EXPECT_LT(before, 10000);
    cluster_.Pause();
  }
  std::this_thread::sleep_for(500ms);
  cluster_.Resume();
  ship.join();
  ASSERT_EQ(shipped.status, 0) << shipped.err;
  EXPECT_NE(shipped.err.find("the database cannot be reached: "), std::string::npos) << shipped.err;
  EXPECT_NE(shipped.err.find(
                "; trying again for up to 60 s\nqvx5120-records: connected again; going on\n"),
            std::string::npos)
      << shipped.err;
  EXPECT_TRUE(EachOnce(10000));
  // The batches that were in stayed in, and the ones after went on from their mark.
  EXPECT_EQ(One("SELECT count(*) FROM (SELECT from_offset FROM qvx5120.shipped"
                " GROUP BY from_offset HAVING count(*) > 1) AS twice"),
            "0");
  EXPECT_EQ(One("SELECT max(through_line) FROM qvx5120.shipped"), "10000");
}

TEST_F(OutageTest, TheStationsShipperCountsWhatWaitsAndCatchesUp) {
  records_db::ShipperSettings quick;
  quick.first_retry = 50ms;
  quick.longest_retry = 200ms;
  quick.look_again = 50ms;
  StationRun run;
  const std::string file = File("line-4.jsonl");
  auto write = [&](records_db::RecordShipper& shipper, const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
      WriteLines(file, {line});
      shipper.LineOnDisk(line);
    }
  };
  {
    records_db::RecordShipper shipper(url_, file, quick);
    write(shipper, Loads(run, 1, 3));  // 12 lines
    ASSERT_TRUE(Eventually([&] { return shipper.unshipped() == 0 && Count() == 12; }));
    EXPECT_EQ(shipper.problem(), std::nullopt);
    cluster_.Pause();
    write(shipper, Loads(run, 4, 2));  // 8 lines, while the database is away
    ASSERT_TRUE(Eventually([&] { return shipper.problem().has_value(); }));
    EXPECT_TRUE(shipper.problem()->starts_with("the database cannot be reached: "))
        << *shipper.problem();
    // Counted as the lines come, whatever the retries' pace.
    EXPECT_TRUE(Eventually([&] { return shipper.unshipped() == 8; })) << shipper.unshipped();
    std::this_thread::sleep_for(300ms);  // longer than the longest retry: the count holds
    EXPECT_EQ(shipper.unshipped(), 8u);
    cluster_.Resume();
    ASSERT_TRUE(Eventually([&] { return shipper.unshipped() == 0; }));
    EXPECT_EQ(shipper.problem(), std::nullopt);
    EXPECT_TRUE(EachOnce(20));
    shipper.Stop();
  }
  // Started again while the database is away: it does not know how far the file was shipped.
  cluster_.Pause();
  {
    records_db::RecordShipper shipper(url_, file, quick);
    ASSERT_TRUE(Eventually([&] { return shipper.problem().has_value(); }));
    EXPECT_NE(shipper.problem()->find("; how far it was shipped is not known until it answers"),
              std::string::npos);
    EXPECT_EQ(shipper.unshipped(), 0u);
    write(shipper, Loads(run, 6, 1));  // 4 lines
    EXPECT_TRUE(Eventually([&] { return shipper.unshipped() == 4; })) << shipper.unshipped();
    cluster_.Resume();
    ASSERT_TRUE(Eventually([&] { return shipper.unshipped() == 0; }));
    EXPECT_TRUE(EachOnce(24));
  }
  // Every batch went on from the mark of the one before: none was shipped from the start again.
  EXPECT_EQ(One("SELECT count(*) FROM qvx5120.shipped WHERE from_offset = 0"), "1");
  EXPECT_EQ(One("SELECT bool_and(from_offset = previous) FROM (SELECT from_offset,"
                " lag(through_offset) OVER (ORDER BY through_offset) AS previous"
                " FROM qvx5120.shipped) AS marks WHERE previous IS NOT NULL"),
            "t");
}

TEST_F(OutageTest, AShipperStoppedWithLinesLeftShipsThemAtItsStop) {
  StationRun run;
  const std::string file = File("line-4.jsonl");
  records_db::ShipperSettings slow;
  slow.look_again = 60s;  // only told lines or the stop would make it look
  records_db::RecordShipper shipper(url_, file, slow);
  ASSERT_TRUE(Eventually([&] { return One("SELECT to_regclass('qvx5120.records')") != "(null)"; }));
  WriteLines(file, Loads(run, 1, 2));  // written, not told of
  shipper.Stop();
  EXPECT_TRUE(EachOnce(8));
}

}  // namespace
}  // namespace qvx::test
