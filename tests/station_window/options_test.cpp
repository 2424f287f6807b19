// The station window's command line: what each good one asks for, and the words for a bad one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "station_window/options.h"

namespace qvx::station_window {
namespace {

StationWindowOptions Parse(const std::vector<std::string>& args) {
  return ParseStationWindowOptions(args);
}

TEST(StationWindowOptionsTest, ReadsEveryOption) {
  const StationWindowOptions options =
      Parse({"--set", "line.toml", "--lock", "--operator", "ana", "--work-order", "WO-1182",
             "--record", "r.jsonl", "--retries", "2"});
  EXPECT_EQ(options.set_file, "line.toml");
  EXPECT_TRUE(options.lock);
  EXPECT_EQ(options.operator_name, "ana");
  EXPECT_EQ(options.work_order, "WO-1182");
  EXPECT_EQ(options.record_file, "r.jsonl");
  EXPECT_EQ(options.retries, 2);
  EXPECT_FALSE(Parse({}).lock);
  EXPECT_FALSE(Parse({}).retries.has_value());
  EXPECT_TRUE(Parse({"--help"}).help);
  EXPECT_TRUE(Parse({"--version"}).version);
}

struct BadLine {
  std::vector<std::string> args;
  const char* message;
};

TEST(StationWindowOptionsTest, RefusesABadCommandLineInWords) {
  const BadLine cases[] = {
      {{"--set"}, "--set: missing content set file"},
      {{"--set", ""}, "--set: the value is empty"},
      {{"--set", "a.toml", "--set", "b.toml"}, "--set is given twice"},
      {{"--lock"}, "--lock goes with --set"},
      {{"--retries", "6"}, "--retries: \"6\" is not a whole number from 0 to 5"},
      {{"--retries", "-1"}, "--retries: \"-1\" is not a whole number from 0 to 5"},
      {{"--retries", "1x"}, "--retries: \"1x\" is not a whole number from 0 to 5"},
      {{"--retries", "1", "--retries", "1"}, "--retries is given twice"},
      {{"--station"}, "unknown option \"--station\" (see --help)"},
      {{"line.toml"}, "unknown option \"line.toml\" (see --help)"},
  };
  for (const BadLine& bad : cases) {
    try {
      Parse(bad.args);
      ADD_FAILURE() << "accepted: " << bad.args.front();
    } catch (const OptionsError& error) {
      EXPECT_STREQ(error.what(), bad.message);
    }
  }
}

}  // namespace
}  // namespace qvx::station_window
