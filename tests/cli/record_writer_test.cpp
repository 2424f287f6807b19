// The record writer: a line the file cannot take is held in order, logged at once, and written
// once when the file takes lines again; a load's first line is never held; every line carries the
// run's key. On a real file system of a few pages and on a folder that goes away, no part of a
// line is ever left in the file; two writers of one file never cut each other's lines.
#include <nlohmann/json.hpp>

#include <unistd.h>

#include <regex>
#include <set>

#include "records/record_writer.h"
#include "tests/support/small_disk.h"
#include "tests/support/test_files.h"

namespace qvx::test {
namespace {

using Json = nlohmann::json;
using records::RecordWriter;
using Written = RecordWriter::Written;

// A disk that is full when told so, keeping what it was given.
class FakeStore final : public records::RecordStore {
 public:
  std::optional<std::string> AppendWhole(const std::string&, std::string_view line) override {
    if (full)
      return std::string("cannot write it: No space left on device");
    text += line;
    return std::nullopt;
  }
  std::optional<uint64_t> RoomLeft(const std::string&) override { return full ? 0 : room; }
  bool Writable(const std::string&) override { return true; }

  std::string text;
  bool full = false;
  uint64_t room = uint64_t{1} << 30;
};

records::StepRecord Line(const std::string& serial, const std::string& outcome) {
  records::StepRecord record;
  record.started = std::chrono::system_clock::now();
  record.serial = serial;
  record.outcome = outcome;
  return record;
}

std::vector<Json> Parsed(const std::string& text) {
  std::vector<Json> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(Json::parse(line, nullptr, false));
  return lines;
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(RecordWriterTest, HeldLinesWaitInOrderAndAreWrittenOnceWhenTheFileTakesThemAgain) {
  FakeStore disk;
  std::ostringstream log;
  RecordWriter writer("line.jsonl", disk, &log);
  EXPECT_TRUE(std::regex_match(writer.run(), std::regex("[0-9a-f]{32}")));
  EXPECT_EQ(writer.Append(Line("QVX00001", "started")), Written::kOnDisk);

  disk.full = true;
  EXPECT_EQ(writer.Append(Line("QVX00001", "completed")), Written::kHeld);
  EXPECT_EQ(writer.Append(Line("QVX00001", "passed")), Written::kHeld);
  // A load's first line goes now or never: no load may begin on a line that is only held.
  EXPECT_EQ(writer.AppendNow(Line("QVX00002", "started")), Written::kNotWritten);
  EXPECT_FALSE(writer.Retry());
  records::RecordHealth health = writer.health();
  EXPECT_EQ(health.held, 2u);
  EXPECT_TRUE(health.failing);
  EXPECT_TRUE(health.ever_held);
  EXPECT_EQ(health.reason, "cannot write it: No space left on device");
  // Each held line is logged once, whole, as it is held.
  const std::vector<std::string> logged = [&] {
    std::vector<std::string> lines;
    std::istringstream in(log.str());
    for (std::string line; std::getline(in, line);)
      lines.push_back(line);
    return lines;
  }();
  ASSERT_EQ(logged.size(), 2u);
  EXPECT_TRUE(logged[1].starts_with("record held for line.jsonl: {")) << logged[1];
  EXPECT_EQ(Json::parse(logged[1].substr(logged[1].find('{')))["outcome"], "passed");

  disk.full = false;
  EXPECT_TRUE(writer.Retry());
  EXPECT_EQ(writer.AppendNow(Line("QVX00002", "started")), Written::kOnDisk);
  const std::vector<Json> lines = Parsed(disk.text);
  ASSERT_EQ(lines.size(), 4u);
  std::vector<std::string> outcomes;
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i]["run"], writer.run());
    EXPECT_EQ(lines[i]["seq"], i + 1) << "the run's numbers are whole and in file order";
    outcomes.push_back(lines[i]["outcome"]);
  }
  EXPECT_EQ(outcomes, (std::vector<std::string>{"started", "completed", "passed", "started"}));
  health = writer.health();
  EXPECT_EQ(health.held, 0u);
  EXPECT_FALSE(health.failing);
  EXPECT_TRUE(health.ever_held);
  EXPECT_TRUE(std::regex_match(lines[0]["time"].get<std::string>(),
                               std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z)")));
}

TEST(RecordWriterTest, WarnsWhenTheFileSystemHasRoomForFewerThanAFewHundredLines) {
  FakeStore disk;
  RecordWriter writer("line.jsonl", disk);
  writer.Append(Line("QVX00001", "started"));
  EXPECT_FALSE(writer.health().low_on_room);
  disk.room = 40 * 1024;  // about 160 lines of the shortest length the writer counts
  writer.Append(Line("QVX00001", "passed"));
  EXPECT_TRUE(writer.health().low_on_room);
  EXPECT_FALSE(writer.health().failing);
}

// What makes the real file system refuse lines, and what mends it.
struct Breakage {
  const char* name;
  std::function<void(SmallDisk&, const std::string& folder)> brake;
  std::function<void(SmallDisk&, const std::string& folder)> mend;
};

class RecordFileSystemTest : public testing::TestWithParam<Breakage> {};

TEST_P(RecordFileSystemTest, NoPartOfALineIsLeftAndHeldLinesGoInOnceItIsMended) {
  SmallDisk disk(std::string("records-") + GetParam().name, 16 * 1024);
  if (!disk.mounted())
    GTEST_SKIP() << "mounting a tmpfs needs root";
  const std::string folder = disk.folder() + "/line";
  std::filesystem::create_directories(folder);
  const std::string path = folder + "/records.jsonl";
  std::ostringstream log;
  RecordWriter writer(path, records::SystemRecordStore(), &log);
  ASSERT_EQ(writer.Append(Line("QVX00001", "started")), Written::kOnDisk);
  const std::string before = Slurp(path);

  GetParam().brake(disk, folder);
  records::StepRecord long_line = Line("QVX00001", "failed");
  long_line.reason = std::string(5000, 'r');  // longer than a page: more than a full disk takes
  EXPECT_EQ(writer.Append(long_line), Written::kHeld);
  EXPECT_EQ(writer.Append(Line("QVX00001", "passed")), Written::kHeld);
  if (std::filesystem::exists(path)) {
    EXPECT_EQ(Slurp(path), before) << "what reached the file of a failed line was cut back";
  }
  EXPECT_FALSE(writer.Retry());

  GetParam().mend(disk, folder);
  EXPECT_TRUE(writer.Retry());
  const std::vector<Json> lines = Parsed(Slurp(path));
  std::vector<std::string> outcomes;
  for (const Json& line : lines) {
    ASSERT_TRUE(line.is_object());
    outcomes.push_back(line["outcome"]);
  }
  const std::vector<std::string> held = {"failed", "passed"};
  // A folder that went away took its file with it: the held lines start the new one.
  const std::vector<std::string> expected =
      std::string(GetParam().name) == "folder-gone"
          ? held
          : std::vector<std::string>{"started", "failed", "passed"};
  EXPECT_EQ(outcomes, expected);
  EXPECT_EQ(writer.health().held, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Breakages, RecordFileSystemTest,
    testing::Values(Breakage{"disk-full", [](SmallDisk& disk, const std::string&) { disk.Fill(); },
                             [](SmallDisk& disk, const std::string&) { disk.Free(); }},
                    Breakage{"folder-gone",
                             [](SmallDisk&, const std::string& folder) {
                               std::filesystem::rename(folder, folder + ".away");
                             },
                             [](SmallDisk&, const std::string& folder) {
                               std::filesystem::create_directories(folder);
                             }}),
    [](const auto& info) {
      std::string name = info.param.name;
      std::replace(name.begin(), name.end(), '-', '_');
      return name;
    });

// A record that names a folder, or a file this user may not write, takes no line however much room
// its disk has: the writer goes on saying so instead of clearing it at each look.
TEST(RecordWriterTest, AFolderForARecordStaysRefused) {
  RecordWriter writer(TempDir());
  EXPECT_EQ(writer.AppendNow(Line("QVX00001", "started")), Written::kNotWritten);
  EXPECT_TRUE(writer.health().failing);
  EXPECT_TRUE(writer.health().reason.starts_with("cannot open it: ")) << writer.health().reason;
  EXPECT_TRUE(writer.Retry());  // nothing is held
  EXPECT_TRUE(writer.health().failing);
}

TEST(RecordWriterTest, TwoWritersOfOneFileNeverCutEachOthersLines) {
  const std::string path = TempDir() + "/shared-records.jsonl";
  std::filesystem::remove(path);
  constexpr int kLines = 300;
  RecordWriter first(path), second(path);
  auto write = [&](RecordWriter& writer, const char* serial) {
    for (int i = 0; i < kLines; ++i)
      ASSERT_EQ(writer.Append(Line(serial, std::string(200 + i, 'x'))), Written::kOnDisk);
  };
  std::thread a(write, std::ref(first), "QVX00001");
  std::thread b(write, std::ref(second), "QVX00002");
  a.join();
  b.join();
  std::map<std::string, std::vector<uint64_t>> seqs;  // by run
  for (const Json& line : Parsed(Slurp(path))) {
    ASSERT_TRUE(line.is_object());
    seqs[line["run"]].push_back(line["seq"]);
  }
  ASSERT_EQ(seqs.size(), 2u);
  for (const auto& [run, numbers] : seqs) {
    ASSERT_EQ(numbers.size(), static_cast<size_t>(kLines)) << run;
    for (int i = 0; i < kLines; ++i)
      EXPECT_EQ(numbers[i], static_cast<uint64_t>(i + 1)) << run;
  }
}

}  // namespace
}  // namespace qvx::test
