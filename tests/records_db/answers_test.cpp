// find, summary and export give the same answers over record files and over the database the
// files were shipped to, and the answers say what the files hold.
#include <gtest/gtest.h>

#include "tests/records_db/pg_test.h"
#include "tests/support/record_lines.h"

namespace qvx::test {
namespace {

class AnswersTest : public PgTest {
 protected:
  void SetUp() override {
    PgTest::SetUp();
    StationRun four;
    std::vector<std::string> lines4;
    auto add = [](std::vector<std::string>& to, std::vector<std::string> lines) {
      to.insert(to.end(), lines.begin(), lines.end());
    };
    add(lines4, StationLoadLines(four, {"QVX00001", "1-1.1", "", "passed", 2, 0}, 1));
    add(lines4, StationLoadLines(four, {"QVX00002", "1-1.2", "", "failed", 2, 60000}, 2));
    add(lines4, StationLoadLines(four, {"QVX00003", "1-1.1", "L-3", "passed", 2, 2400000}, 3));
    lines4.push_back(
        PlainStepLine("line-pc-4", "QVX00009", "2026-12-07T21:30:04Z", 1, "completed"));
    lines4.push_back(PlainStepLine("line-pc-4", "QVX00009", "2026-12-07T21:30:26Z", 2, "failed"));
    StationRun five;
    five.host = "line-pc-5";
    five.run = "fedcba9876543210fedcba9876543210";
    five.operator_name = "bo";
    five.start_ms = 1796827800000;  // 2026-12-09T14:50:00.000Z
    std::vector<std::string> lines5;
    add(lines5, StationLoadLines(five, {"QVX00004", "1-2.1", "", "pulled", 1, 0}, 1));
    add(lines5, StationLoadLines(five, {"QVX00005", "1-2.2", "L-5", "passed", 1, 1200000}, 2));
    add(lines5, StationLoadLines(five, {"QVX00001", "1-2.3", "", "cut off", 2, 1800000}, 3));
    // A load that began and has no end yet.
    auto unfinished = StationLoadLines(five, {"QVX00006", "1-2.1", "", "passed", 2, 2400000}, 4);
    add(lines5, {unfinished.begin(), unfinished.begin() + 2});
    files_ = {File("line-4.jsonl"), File("line-5.jsonl")};
    WriteLines(files_[0], lines4);
    WriteLines(files_[1], lines5);
    RecordsRun shipped = Records({"ship", "--to", url_, files_[0], files_[1]});
    ASSERT_EQ(shipped.status, 0) << shipped.err;
  }

  // The command's answer over the files, checked equal to its answer over the database.
  std::string Both(std::vector<std::string> args) {
    std::vector<std::string> over_files = args;
    over_files.insert(over_files.end(), files_.begin(), files_.end());
    args.insert(args.end(), {"--db", url_});
    RecordsRun files = Records(over_files);
    RecordsRun database = Records(args);
    EXPECT_EQ(files.status, 0) << files.err;
    EXPECT_EQ(database.status, 0) << database.err;
    EXPECT_EQ(files.out, database.out) << args[0] << " " << (args.size() > 3 ? args[1] : "");
    return files.out;
  }

  std::vector<std::string> files_;
};

TEST_F(AnswersTest, FindSaysWhatEachUnitReceivedWhereWhenAndByWhom) {
  EXPECT_EQ(Both({"find", "--serial", "QVX00001"}),
            "2026-12-09T14:25:33.123Z  QVX00001  line-pc-4 1-1.1  passed  operator ana  work "
            "order WO-1182  set approved.toml 9f86d081884c  received pattern 0 ramp-0.tst "
            "bbbbbbbbbbbb, pattern 1 ramp-1.tst bbbbbbbbbbbb\n"
            "2026-12-09T15:20:00.000Z  QVX00001  line-pc-5 1-2.3  cut off  operator bo  work "
            "order WO-1182  set approved.toml 9f86d081884c  received pattern 0 ramp-0.tst "
            "bbbbbbbbbbbb\n");
  EXPECT_EQ(Both({"find", "--serial", "QVX00009"}),
            "2026-12-07T21:30:04Z  QVX00009  line-pc-4  completed  received banner 1 id.bmp "
            "9f86d081884c\n"
            "2026-12-07T21:30:26Z  QVX00009  line-pc-4  failed  not received banner 2 id.bmp "
            "9f86d081884c\n");
  EXPECT_EQ(Both({"find", "--serial", "QVX00006"}),
            "2026-12-09T15:30:00.000Z  QVX00006  line-pc-5 1-2.1  unfinished  operator bo  work "
            "order WO-1182  set approved.toml 9f86d081884c  received pattern 0 ramp-0.tst "
            "bbbbbbbbbbbb\n");
}

TEST_F(AnswersTest, EveryFilterAnswersAlikeOverFilesAndTheDatabase) {
  const std::vector<std::vector<std::string>> filters = {
      {},
      {"--serial", "QVX00001"},
      {"--work-order", "WO-1182"},
      {"--label", "L-5"},
      {"--set-sha256", "9F86D081884C"},
      {"--file-sha256", std::string(63, 'b') + "1"},
      {"--since", "2026-12-09T15:00"},
      {"--until", "2026-12-09T15:00"},
      {"--serial", "QVX00001", "--since", "2026-12-09T15:00:00Z"},
      {"--serial", "nobody"},
  };
  for (const auto& filter : filters) {
    for (const char* form : {"text", "--json", "--csv"}) {
      std::vector<std::string> args{form == std::string("--csv") ? "export" : "find"};
      args.insert(args.end(), filter.begin(), filter.end());
      if (form != std::string("text"))
        args.push_back(form);
      Both(args);
    }
  }
  // Loads, not lines: a load is found whole when one of its lines matches.
  const std::string label = Both({"find", "--label", "L-3", "--json"});
  EXPECT_EQ(nlohmann::json::parse(label)["records"].size(), 4u);
  const std::string all = Both({"find"});
  EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 9);
  EXPECT_EQ(
      Both({"find", "--file-sha256", std::string(63, 'b') + "1", "--until", "2026-12-09T15:00"}),
      Both({"find", "--serial", "QVX00001", "--until", "2026-12-09T15:00"}) +
          Both({"find", "--serial", "QVX00002"}));
}

TEST_F(AnswersTest, SummaryCountsTheWorkOrdersLoadsPerStationAndHour) {
  EXPECT_EQ(Both({"summary", "--work-order", "WO-1182"}),
            "Work order WO-1182\n"
            "station    hour (UTC)         passed  failed  pulled  cut off\n"
            "line-pc-4  2026-12-09T14:00Z       1       1       0        0\n"
            "line-pc-4  2026-12-09T15:00Z       1       0       0        0\n"
            "line-pc-5  2026-12-09T14:00Z       0       0       1        0\n"
            "line-pc-5  2026-12-09T15:00Z       1       0       0        1\n"
            "total                              3       1       1        1\n");
  EXPECT_EQ(
      Both({"summary", "--work-order", "WO-1182", "--json"}),
      R"({"work_order":"WO-1182","rows":[)"
      R"({"station":"line-pc-4","hour":"2026-12-09T14:00Z","passed":1,"failed":1,"pulled":0,"cut off":0},)"
      R"({"station":"line-pc-4","hour":"2026-12-09T15:00Z","passed":1,"failed":0,"pulled":0,"cut off":0},)"
      R"({"station":"line-pc-5","hour":"2026-12-09T14:00Z","passed":0,"failed":0,"pulled":1,"cut off":0},)"
      R"({"station":"line-pc-5","hour":"2026-12-09T15:00Z","passed":1,"failed":0,"pulled":0,"cut off":1}],)"
      R"("total":{"passed":3,"failed":1,"pulled":1,"cut off":1}})"
      "\n");
  EXPECT_EQ(Both({"summary", "--work-order", "WO-9"}),
            "Work order WO-9\n"
            "station  hour (UTC)         passed  failed  pulled  cut off\n"
            "total                            0       0       0        0\n");
}

}  // namespace
}  // namespace qvx::test
