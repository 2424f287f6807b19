// Record lines read as rows: their keys, typed columns and times, against values worked out
// apart from the code (sha256sum, Python's datetime).
#include <gtest/gtest.h>

#include "records_db/record_filter.h"
#include "records_db/record_row.h"
#include "records_db/record_time.h"

namespace qvx::records_db {
namespace {

RecordRow Row(const std::string& text) {
  auto read = ReadRecordLine(text);
  EXPECT_TRUE(std::holds_alternative<RecordRow>(read)) << text;
  return std::holds_alternative<RecordRow>(read) ? std::get<RecordRow>(read) : RecordRow{};
}

TEST(RecordRow, AKeyOfRunAndSeqOrOfTheLinesBytes) {
  const std::string run = "0123456789abcdef0123456789abcdef";
  struct Case {
    std::string line;
    std::string key;
  } cases[] = {
      {R"({"run":")" + run + R"(","seq":7})", run + "/7"},
      // sha256sum of the line's bytes.
      {R"({"serial":"QVX00002","outcome":"completed"})",
       "sha256:f013f96da9299f581c3f6fa5dea400521ced63ac03ad47efcd217b85975b2a28"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Row(c.line).key, c.key) << c.line;
  // A run that is not 32 lower-case hex digits, or a seq that is not 1 or more, is no key.
  for (const std::string& line :
       {R"({"run":")" + std::string(32, 'A') + R"(","seq":7})",
        R"({"run":")" + run.substr(1) + R"(","seq":7})", R"({"run":")" + run + R"(","seq":0})",
        R"({"run":")" + run + R"(","seq":"7"})", R"({"run":")" + run + R"(","seq":-3})"})
    EXPECT_TRUE(Row(line).key.starts_with("sha256:")) << line;
}

TEST(RecordRow, TypedColumnsAreEmptyWhereTheFieldIsMissingOrOfAnotherType) {
  struct Case {
    std::string line;
    const char* column;
    std::optional<std::string> value;
  } cases[] = {
      {R"({"slot":2})", "slot", "2"},
      {R"({"slot":"2"})", "slot", std::nullopt},
      {R"({"slot":2.5})", "slot", std::nullopt},
      {R"({"slot":4294967296})", "slot", std::nullopt},
      {R"({"file":{"size":4294967296}})", "file_size", "4294967296"},
      {R"({"file":{"size":18446744073709551615}})", "file_size", std::nullopt},
      {R"({"file":"id.bmp"})", "file_path", std::nullopt},
      {R"({"file":{"path":"/a b/c.bmp"}})", "file_path", "/a b/c.bmp"},
      {R"({"seconds":21.418})", "seconds", "21.418"},
      {R"({"seconds":7})", "seconds", "7"},
      {R"({"serial":17})", "serial", std::nullopt},
      {R"({"serial":"a\u0000b"})", "serial", std::nullopt},
      {R"({"time":"2026-12-07T21:30:04"})", "time", std::nullopt},
      {R"({"time":"2026-12-07T21:30:04Z"})", "time", "2026-12-07T21:30:04Z"},
      {R"({"set":{"path":"/jobs/a.toml","sha256":"ab"}})", "set_sha256", "ab"},
      {R"({"outcome":"passed"})", "serial", std::nullopt},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Row(c.line)[ColumnNamed(c.column)], c.value) << c.line;
}

TEST(RecordRow, ALineWithNulIsNamedForItsText) {
  EXPECT_EQ(Row(R"({"serial":"a\u0000b"})").jsonb_problem,
            "holds \\u0000, which PostgreSQL's jsonb cannot: kept as text");
  EXPECT_EQ(Row(R"({"a":["x","\u0000"]})").jsonb_problem.has_value(), true);
  EXPECT_EQ(Row(R"({"serial":"ab"})").jsonb_problem, std::nullopt);
}

TEST(RecordRow, ALoadsLinesShareItsKey) {
  EXPECT_EQ(Row(R"({"host":"pc","load":"r-1","seq":1})").load_key, "pc r-1");
  EXPECT_EQ(Row(R"({"load":"r-1"})").load_key, " r-1");
  const RecordRow lone = Row(R"({"host":"pc","serial":"QVX1"})");
  EXPECT_EQ(lone.load_key, lone.key);
}

TEST(RecordRow, WhatIsNotARecord) {
  struct Case {
    std::string line;
    std::string why;
  } cases[] = {
      {"GET / HTTP/1.1", "not a record: not JSON (at byte 1)"},
      {R"({"time":"2026-12-07)", "not a record: not JSON (at byte 20)"},
      {"[1,2]", "not a record: JSON, but not an object"},
      {"\"text\"", "not a record: JSON, but not an object"},
      {"{\"serial\":\"\xff\"}", "not a record: not JSON (at byte 12)"},
      {R"({"seconds":1e999999})", "not a record: a number beyond what can be read"},
      {std::string(65, '[') + std::string(65, ']'),
       "not a record: arrays and objects nested too deep"},
  };
  // As deep as a record may nest.
  EXPECT_EQ(Row("{\"a\":" + std::string(63, '[') + std::string(63, ']') + "}").key.size(), 71u);
  for (const Case& c : cases) {
    auto read = ReadRecordLine(c.line);
    ASSERT_TRUE(std::holds_alternative<NotARecord>(read)) << c.line;
    EXPECT_EQ(std::get<NotARecord>(read).why, c.why) << c.line;
  }
}

TEST(RecordTime, RecordsAndTypedTimes) {
  // Microseconds since 1970 from Python's datetime.
  EXPECT_EQ(RecordTime("2026-12-09T14:25:33.123Z"), 1796826333123000);
  EXPECT_EQ(RecordTime("2026-12-07T21:30:04Z"), 1796679004000000);
  EXPECT_EQ(RecordTime("1969-12-31T23:59:59.5Z"), -500000);
  EXPECT_EQ(RecordTime("2024-02-29T00:00:00Z"), 1709164800000000);
  for (const char* wrong : {"2023-02-29T00:00:00Z", "2026-12-09T24:00:00Z", "2026-12-09T14:25Z",
                            "2026-12-09", "2026-12-09T14:25:33.Z", "2026-12-09 14:25:33Z"})
    EXPECT_EQ(RecordTime(wrong), std::nullopt) << wrong;
  EXPECT_EQ(TypedTime("2026-12-09"), 1796774400000000);
  EXPECT_EQ(TypedTime("2026-12-09 14:25"), 1796826300000000);
  EXPECT_EQ(TypedTime("2026-12-09T14:25:33.123"), 1796826333123000);
  EXPECT_EQ(TypedTime("2026-12-09T14:25:33.123Z"), 1796826333123000);
  EXPECT_EQ(TypedTime("yesterday"), std::nullopt);
  EXPECT_EQ(PostgresTime(1796826333123000), "2026-12-09 14:25:33.123000+00");
  EXPECT_EQ(PostgresTime(-500000), "1969-12-31 23:59:59.500000+00");
  EXPECT_EQ(HourOf(1796826333123000), "2026-12-09T14:00Z");
}

TEST(RecordFilter, HashesAreTakenAsHexInLowerCase) {
  EXPECT_EQ(HashPrefix("9F86d0"), "9f86d0");
  EXPECT_EQ(HashPrefix(std::string(64, 'a')), std::string(64, 'a'));
  for (const std::string& wrong : {std::string(), std::string(65, 'a'), std::string("9f86%"),
                                   std::string("9f86_"), std::string("' OR 1=1 --")})
    EXPECT_EQ(HashPrefix(wrong), std::nullopt) << wrong;
}

}  // namespace
}  // namespace qvx::records_db
