// qvx5120-station as an operator runs it, on a display of its own: the label typed on the X
// keyboard into the scan field, units plugged into a virtual rack one after the other, the window's
// title read back through the X server and its tiles followed through QVX_STATION_TRACE. What it
// records and leaves in each unit's flash is held to what `qvx5120-load --station` writes and
// leaves for the same plugs.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/x_input.h"
#include "tests/app/x_display.h"
#include "tests/support/rack_file.h"
#include "tests/support/station_records.h"
#include "tests/support/test_files.h"

namespace qvx::test {
namespace {

using Json = nlohmann::json;
using Lines = std::vector<std::string>;
using namespace std::chrono_literals;

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Polls `done` until it holds; false after 90 s (a load runs at the generator's real pace here).
bool Await(const std::function<bool()>& done) {
  for (auto deadline = std::chrono::steady_clock::now() + 90s;
       std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(20ms)) {
    if (done())
      return true;
  }
  return done();
}

// A program run as a child, its standard output into a file and its standard error into that
// file's name with ".err", with extra environment variables.
class Program {
 public:
  Program(const Lines& args, const std::map<std::string, std::string>& env,
          const std::string& out) {
    pid_ = fork();
    if (pid_ == 0) {
      for (const auto& [name, value] : env)
        setenv(name.c_str(), value.c_str(), 1);
      const int file = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(file, STDOUT_FILENO);
      const int errors = open((out + ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(errors, STDERR_FILENO);
      std::vector<char*> argv;
      for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
  }
  ~Program() {
    if (pid_ > 0 && !status_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // The exit status once it has ended; nothing while it runs.
  std::optional<int> Ended() {
    int status = 0;
    if (!status_ && waitpid(pid_, &status, WNOHANG) == pid_)
      status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return status_;
  }

 private:
  pid_t pid_ = -1;
  std::optional<int> status_;
};

bool HasLine(const std::string& path, const std::string& line) {
  std::istringstream lines(ReadText(path));
  for (std::string seen; std::getline(lines, seen);)
    if (seen == line)
      return true;
  return false;
}

// The file holds these lines in this order, others between them allowed.
bool HasLinesInOrder(const std::string& path, const Lines& wanted) {
  std::istringstream lines(ReadText(path));
  size_t next = 0;
  for (std::string seen; next < wanted.size() && std::getline(lines, seen);)
    next += seen == wanted[next];
  return next == wanted.size();
}

std::vector<Json> Records(const std::string& path) {
  std::vector<Json> lines;
  std::istringstream in(ReadText(path));
  for (std::string line; std::getline(in, line);)
    lines.push_back(Json::parse(line));
  return lines;
}

// The unit's load at `port` has ended with `outcome` in the records.
bool Ended(const std::string& record, const std::string& port, const std::string& outcome) {
  for (const Json& line : Records(record))
    if (line.contains("steps") && line.value("port", "") == port &&
        line.value("outcome", "") == outcome)
      return true;
  return false;
}

// A record line without what differs from run to run (when, where, how long) nor its load id,
// which counts the loads of the run.
Json Comparable(Json line) {
  for (const char* field : {"time", "host", "seconds", "load", "run", "seq"})
    line.erase(field);
  return line;
}

class StationProgramTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(x.ok()) << x.error();
    dir = TempDir() + "/station-program";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir + "/window");
    std::filesystem::create_directories(dir + "/loader");
    // One pattern: the program waits in real time, and a pattern's whole-second waits (13 s) are
    // the shortest of any load's; a banner's and a pattern's together take about 30 s.
    std::ofstream(dir + "/pattern.tst", std::ios::binary) << std::string(2880, '\x5A');
    set = dir + "/station.toml";
    std::ofstream(set) << "[patterns]\n7 = \"pattern.tst\"\n";
  }

  // The program's flash files in their own folder, on its own rack.
  std::map<std::string, std::string> Environment(const std::string& run,
                                                 const TestRack& rack) const {
    return {{"DISPLAY", x.name()},
            {"LSAN_OPTIONS", "suppressions=" QVX_LSAN_SUPPRESSIONS},
            {"QVX_VG_FLASH", dir + "/" + run + "/flash.bin"},
            {"QVX_VG_RACK", rack.path()},
            {"QVX_STATION_TRACE", "1"}};
  }

  XDisplay x;
  TestRack window_rack{"station-program-window-rack"};
  TestRack loader_rack{"station-program-loader-rack"};
  std::string dir, set;
};

struct CommandLineCase {
  const char* name;
  Lines args;
  int status;
  std::string out;  // the beginning of standard output
  std::string err;  // all of standard error
};

void PrintTo(const CommandLineCase& line, std::ostream* out) {
  *out << line.name;
}

class StationCommandLineTest : public testing::TestWithParam<CommandLineCase> {};

// The command line is answered without a display, as help2man and scripts run it.
TEST_P(StationCommandLineTest, IsAnsweredWithoutADisplay) {
  const std::string out = TempDir() + "/station-command-line-" + GetParam().name;
  Lines args = {QVX_STATION_PROGRAM};
  args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
  std::optional<int> status;
  {
    Program program(args, {{"DISPLAY", ""}, {"QT_QPA_PLATFORM", "xcb"}}, out);
    ASSERT_TRUE(Await([&] { return (status = program.Ended()).has_value(); }));
  }
  EXPECT_EQ(*status, GetParam().status);
  EXPECT_TRUE(ReadText(out).starts_with(GetParam().out)) << ReadText(out);
  EXPECT_EQ(ReadText(out + ".err"), GetParam().err);
}

const CommandLineCase kCommandLines[] = {
    {"Help", {"--help"}, 0, "Usage: qvx5120-station [OPTION]...\n", ""},
    {"Version", {"--version"}, 0, "qvx5120-station " QVX_VERSION "\n", ""},
    {"Unknown",
     {"--sett", "x.toml"},
     2,
     "",
     "qvx5120-station: unknown option \"--sett\" (see --help)\n"},
    {"LockAlone", {"--lock"}, 2, "", "qvx5120-station: --lock goes with --set\n"},
    {"RetriesTooMany",
     {"--set", "x.toml", "--retries", "6"},
     2,
     "",
     "qvx5120-station: --retries: \"6\" is not a whole number from 0 to 5\n"},
};

INSTANTIATE_TEST_SUITE_P(Lines, StationCommandLineTest, testing::ValuesIn(kCommandLines),
                         [](const auto& info) { return std::string(info.param.name); });

// Both programs run side by side, each on a rack of its own that gets the same plugs.
TEST_F(StationProgramTest, LoadsTwoUnitsPluggedOneAfterTheOtherAsTheLoaderDoes) {
  const std::string record = dir + "/window/records.jsonl";
  const std::string trace = dir + "/window/trace.txt";
  const std::string loader_record = dir + "/loader/records.jsonl";
  Program station({QVX_STATION_PROGRAM, "--set", set, "--record", record, "--operator", "ana",
                   "--work-order", "WO-9"},
                  Environment("window", window_rack), trace);
  Program loader({QVX_LOAD_TOOL, "--station", "--set", set, "--record", loader_record, "--operator",
                  "ana", "--work-order", "WO-9", "--stop-after", "2"},
                 Environment("loader", loader_rack), dir + "/loader/out.txt");
  const auto plug = [&](const Lines& units) {
    window_rack.Write(units);
    loader_rack.Write(units);
  };
  std::optional<unsigned long> window;
  // By the title's counts: Qt's own hidden leader window is named after the application alone.
  ASSERT_TRUE(Await([&] { return (window = x.FindWindow("QVX5120 Station - ")).has_value(); }));
  EXPECT_EQ(x.Title(*window), "QVX5120 Station - 0 passed, 0 failed");
  // The set given on the command line starts the station by itself.
  ASSERT_TRUE(Await([&] { return HasLine(trace, "status Running: plug a unit into any socket"); }));

  plug({"QVX00001 1-1.1"});
  ASSERT_TRUE(Await([&] { return HasLine(trace, "tile Socket 1-1.1, QVX00001, pass"); }));
  EXPECT_TRUE(HasLine(trace, "tile Socket 1-1.1, QVX00001, loading"));
  // The title reaches the X server at the window's next turn, after the trace line.
  EXPECT_TRUE(Await([&] { return x.Title(*window) == "QVX5120 Station - 1 passed, 0 failed"; }))
      << x.Title(*window);
  ASSERT_TRUE(Await([&] { return Ended(loader_record, "1-1.1", "passed"); }));

  // The scan field has the focus: the label typed goes to the next unit plugged in.
  setenv("DISPLAY", x.name().c_str(), 1);
  bench::XInput keyboard;
  ASSERT_TRUE(keyboard.ok());
  x.Focus(*window);
  for (char c : std::string("A-1002"))
    ASSERT_TRUE(keyboard.TypeCharacter(c)) << c;
  keyboard.ReturnKey(true);
  keyboard.ReturnKey(false);
  ASSERT_TRUE(Await([&] {
    return HasLine(
        trace, "status Running: plug a unit into any socket \u2014 Next unit plugged in: A-1002");
  }));

  plug({"QVX00001 1-1.1", "QVX00002 1-1.2"});
  ASSERT_TRUE(Await([&] { return HasLine(trace, "tile Socket 1-1.2, QVX00002, pass"); }));
  ASSERT_TRUE(Await([&] { return x.Title(*window) == "QVX5120 Station - 2 passed, 0 failed"; }));
  // The close box ends the program: no load is running.
  x.Close(*window);
  ASSERT_TRUE(Await([&] { return station.Ended().has_value(); }));
  EXPECT_EQ(*station.Ended(), 0) << ReadText(trace + ".err");
  ASSERT_TRUE(Await([&] { return loader.Ended().has_value(); }));
  EXPECT_EQ(*loader.Ended(), 0) << ReadText(dir + "/loader/out.txt.err");

  // The label went to each of the second unit's lines, and to no other line; the loader, which
  // has no scan field, wrote the same lines without it.
  const std::string unlabelled = dir + "/window/unlabelled.jsonl";
  {
    std::ofstream out(unlabelled);
    for (Json line : Records(record)) {
      EXPECT_EQ(line.value("label", ""), line["serial"] == "QVX00002" ? "A-1002" : "") << line;
      line.erase("label");
      out << line.dump() << "\n";
    }
  }
  const Lines window_lines = ComparableStationRecords(unlabelled);
  ASSERT_FALSE(window_lines.empty());
  EXPECT_EQ(window_lines, ComparableStationRecords(loader_record));

  // Unit 1 keeps the flash file named; another unit's file is named after its serial beside it.
  for (const std::string serial : {"", ".QVX00002"}) {
    const std::string flash = ReadText(dir + "/window/flash.bin" + serial);
    EXPECT_FALSE(flash.empty()) << serial;
    EXPECT_NE(flash.find_first_not_of('\xFF'), std::string::npos) << "blank flash" << serial;
    EXPECT_TRUE(flash == ReadText(dir + "/loader/flash.bin" + serial)) << serial;
  }
}

// A unit pulled mid-load shows an empty socket and is loaded afresh when it comes back; a unit
// whose link drops once passes on the retry that --retries 1 allows, recorded as the loader records
// it.
TEST_F(StationProgramTest, APulledUnitIsLoadedAfreshAndAGlitchingOneRecoveredByARetry) {
  const std::string record = dir + "/window/records.jsonl";
  const std::string trace = dir + "/window/trace.txt";
  const std::string loader_record = dir + "/loader/records.jsonl";
  auto window_env = Environment("window", window_rack);
  auto loader_env = Environment("loader", loader_rack);
  for (auto* env : {&window_env, &loader_env}) {
    (*env)["QVX_VG_FAULT_UNIT"] = "QVX00003";
    (*env)["QVX_VG_GLITCH_AFTER"] = "1500";  // in the middle of the pattern
  }
  Program station({QVX_STATION_PROGRAM, "--set", set, "--record", record, "--retries", "1"},
                  window_env, trace);
  Program loader({QVX_LOAD_TOOL, "--station", "--set", set, "--record", loader_record, "--retries",
                  "1", "--stop-after", "1"},
                 loader_env, dir + "/loader/out.txt");
  loader_rack.Write({"QVX00003 1-1.3"});
  ASSERT_TRUE(Await([&] { return HasLine(trace, "status Running: plug a unit into any socket"); }));
  window_rack.Write({"QVX00001 1-1.1", "QVX00003 1-1.3"});
  ASSERT_TRUE(Await([&] { return HasLine(trace, "tile Socket 1-1.1, QVX00001, loading"); }));
  window_rack.Write({"QVX00003 1-1.3"});
  ASSERT_TRUE(Await([&] { return HasLine(trace, "tile Socket 1-1.1, empty"); }));
  window_rack.Write({"QVX00001 1-1.1", "QVX00003 1-1.3"});
  ASSERT_TRUE(Await([&] {
    return HasLinesInOrder(
               trace,
               {"tile Socket 1-1.1, QVX00001, loading", "tile Socket 1-1.1, empty",
                "tile Socket 1-1.1, QVX00001, loading", "tile Socket 1-1.1, QVX00001, pass"}) &&
           HasLine(trace, "tile Socket 1-1.3, QVX00003, pass");
  }));
  std::optional<unsigned long> window = x.FindWindow("QVX5120 Station - ");
  ASSERT_TRUE(window.has_value());
  // A pulled load is neither passed nor failed.
  EXPECT_TRUE(Await([&] { return x.Title(*window) == "QVX5120 Station - 2 passed, 0 failed"; }))
      << x.Title(*window);
  x.Close(*window);
  ASSERT_TRUE(Await([&] { return station.Ended().has_value(); }));
  EXPECT_EQ(*station.Ended(), 0) << ReadText(trace + ".err");
  ASSERT_TRUE(Await([&] { return loader.Ended().has_value(); }));
  EXPECT_EQ(*loader.Ended(), 0) << ReadText(dir + "/loader/out.txt.err");

  std::map<std::string, Lines> ends;  // by port, each load's end in order
  std::vector<Json> glitching;
  for (const Json& line : Records(record)) {
    if (line.contains("steps") && line["outcome"] != "started")
      ends[line["port"]].push_back(line["outcome"]);
    if (line["port"] == "1-1.3")
      glitching.push_back(Comparable(line));
  }
  EXPECT_EQ(ends,
            (std::map<std::string, Lines>{{"1-1.1", {"pulled", "passed"}}, {"1-1.3", {"passed"}}}));
  std::vector<Json> loader_lines;
  for (const Json& line : Records(loader_record))
    loader_lines.push_back(Comparable(line));
  EXPECT_EQ(glitching, loader_lines);
  // The pattern failed once and passed on attempt 2.
  std::vector<std::pair<std::string, int>> attempts;
  for (const Json& line : glitching)
    if (line.contains("attempt"))
      attempts.emplace_back(line["outcome"], line["attempt"]);
  EXPECT_EQ(attempts, (std::vector<std::pair<std::string, int>>{{"failed", 1}, {"completed", 2}}));
  ASSERT_NE(ReadText(dir + "/window/flash.bin.QVX00003").find_first_not_of('\xFF'),
            std::string::npos);
  EXPECT_TRUE(ReadText(dir + "/window/flash.bin.QVX00003") ==
              ReadText(dir + "/loader/flash.bin.QVX00003"));
  EXPECT_TRUE(ReadText(dir + "/window/flash.bin") == ReadText(dir + "/window/flash.bin.QVX00003"))
      << "the unit loaded afresh holds what the recovered one does";
}

}  // namespace
}  // namespace qvx::test
