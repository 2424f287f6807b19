// qvx5120-doctor end to end on the virtual generator: run in this process (the library the tests
// load is the one it finds) for each cause a check passes or fails for, in text and in JSON, and
// as the installed program is run for the two verdicts of a desk with two units, the flash of
// each compared byte for byte before and after.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "device/d2xx.h"
#include "doctor/run.h"
#include "tests/support/environment.h"
#include "tests/support/rack_file.h"
#include "tests/support/recording_clock.h"
#include "tests/support/test_files.h"
#include "tests/support/virtual_generator.h"

namespace qvx::test {
namespace {

using Json = nlohmann::json;
using Lines = std::vector<std::string>;

// "1.0.0" as D2XX writes versions, two digits after each dot: "1.00.00".
std::string D2xxVersion(const std::string& version) {
  int major = 0, minor = 0, build = 0;
  std::sscanf(version.c_str(), "%d.%d.%d", &major, &minor, &build);
  char text[16];
  std::snprintf(text, sizeof text, "%d.%02d.%02d", major, minor, build);
  return text;
}

struct DoctorRun {
  int status = -1;
  std::string out;
  std::string err;
};

class DoctorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    IsolateGenerator(vg_, "none");
    vg_.SetUnits(2);
  }
  void TearDown() override {
    IsolateGenerator(vg_, "none");
    vg_.Reset();
  }

  DoctorRun Doctor(const Lines& args, SystemLibraryLoader& loader) {
    RecordingClock clock;
    clock.time.step_per_reading = std::chrono::milliseconds(0);  // every open takes "0 ms"
    std::ostringstream out, err;
    doctor::DoctorContext context{out, err, loader, clock};
    const int status = doctor::RunDoctor(args, context);
    return {status, out.str(), err.str()};
  }
  DoctorRun Doctor(const Lines& args) {
    SystemLibraryLoader loader;
    return Doctor(args, loader);
  }

  // Each check of each device in the JSON: "QVX00002 held" -> its "ok".
  static std::map<std::string, bool> Verdicts(const Json& json) {
    std::map<std::string, bool> verdicts;
    for (const Json& device : json.at("devices")) {
      for (const Json& check : device.at("checks"))
        verdicts[device.at("serial").get<std::string>() + " " +
                 check.at("check").get<std::string>()] = check.at("ok").get<bool>();
    }
    return verdicts;
  }
  static const Json& CheckOf(const Json& json, const std::string& serial, const std::string& name) {
    for (const Json& device : json.at("devices")) {
      if (device.at("serial") != serial)
        continue;
      for (const Json& check : device.at("checks")) {
        if (check.at("check") == name)
          return check;
      }
    }
    throw std::runtime_error(serial + " has no check " + name);
  }
  // Every check of both units passes but those named.
  static std::map<std::string, bool> AllPassBut(const std::set<std::string>& failed) {
    std::map<std::string, bool> verdicts;
    for (const char* serial : {"QVX00001", "QVX00002"}) {
      for (const char* check : {"present", "kernel-driver", "access", "held", "chip", "opens"}) {
        const std::string key = std::string(serial) + " " + check;
        verdicts[key] = !failed.contains(key);
      }
    }
    return verdicts;
  }

  VirtualGenerator vg_;
};

TEST_F(DoctorTest, TwoFreeUnitsPassEveryCheckAndTakeOnlyTheStartUpBytes) {
  const DoctorRun run = Doctor({"--json"});
  EXPECT_EQ(run.status, doctor::kExitOk) << run.out;
  EXPECT_EQ(run.err, "");
  const Json json = Json::parse(run.out);
  EXPECT_EQ(json.at("verdict"), "ok");
  EXPECT_EQ(json.at("library").at("kind"), "virtual");
  EXPECT_EQ(json.at("library").at("ok"), true);
  EXPECT_EQ(json.at("library").at("path"),
            std::filesystem::canonical(QVX_EMULATOR_DIR "/libftd2xx.so").string());
  ASSERT_EQ(json.at("devices").size(), 2u);
  for (int unit = 0; unit < 2; ++unit) {
    const Json& device = json.at("devices").at(unit);
    EXPECT_EQ(device.at("serial"), "QVX0000" + std::to_string(unit + 1));
    EXPECT_EQ(device.at("port"), "1-" + std::to_string(unit + 1));
    EXPECT_EQ(device.at("product"), "QVX5120I1");
    EXPECT_EQ(device.at("vid"), "0403");
    EXPECT_EQ(device.at("pid"), "6001");
    EXPECT_EQ(device.at("generator"), true);
  }
  EXPECT_EQ(Verdicts(json), AllPassBut({}));
  // Each unit took the window's start-up and nothing else: CMD_END_LOAD alone on the wire.
  for (int unit = 0; unit < 2; ++unit) {
    ASSERT_TRUE(vg_.SelectUnit(unit));
    EXPECT_EQ(VirtualGenerator::Hex(vg_.Wire()), "FF");
    const Lines calls = vg_.Calls();
    const Lines opened(calls.begin() + static_cast<long>(calls.size()) - 9, calls.end());
    EXPECT_EQ(opened, (Lines{"FT_OpenEx 0x1" + std::to_string(unit + 1) + " 4 -> 0",
                             "FT_ResetDevice -> 0", "FT_SetTimeouts 3000 3000 -> 0",
                             "FT_Purge 1 -> 0", "FT_SetTimeouts 100 0 -> 0", "FT_Purge 1 -> 0",
                             "FT_Write FF -> 0 1", "FT_GetLatencyTimer -> 0 0", "FT_Close -> 0"}));
  }
}

TEST_F(DoctorTest, TheTextHasALinePerCheckAndTheVerdict) {
  vg_.SetUnits(1);
  const DoctorRun run = Doctor({});
  EXPECT_EQ(run.status, doctor::kExitOk);
  const std::string library = std::filesystem::canonical(QVX_EMULATOR_DIR "/libftd2xx.so").string();
  EXPECT_EQ(run.out,
            "library        ok    the virtual generator, " + library + ", version " +
                D2xxVersion(QVX_VERSION) +
                "\n"
                "search         ok    1 generator, no other FTDI device\n"
                "QVX00001 at 1-1: \"QVX5120I1\", 0403:6001, a generator\n"
                "  present        ok    listed by the driver library at port 1-1, serial "
                "\"QVX00001\" (a unit of the virtual generator)\n"
                "  kernel-driver  ok    the virtual generator: no USB device, no kernel driver\n"
                "  access         ok    the virtual generator: no device node\n"
                "  held           ok    no other program has it open\n"
                "  chip           ok    an FT232R/FT245R, product string \"QVX5120I1\", serial "
                "\"QVX00001\", latency timer 0 ms\n"
                "  opens          ok    opened and took the start-up bytes (reset, time-outs, "
                "purges, CMD_END_LOAD) in 0 ms; closed again\n"
                "verdict: ok, every generator passed every check\n");
}

TEST_F(DoctorTest, AUnitAnotherProgramHoldsFailsHeldAndIsNotOpened) {
  setenv("QVX_VG_HELD", "QVX00002", 1);
  vg_.SetUnits(2);
  const DoctorRun json_run = Doctor({"--json"});
  EXPECT_EQ(json_run.status, doctor::kExitProblem);
  const Json json = Json::parse(json_run.out);
  EXPECT_EQ(json.at("verdict"), "problem");
  EXPECT_EQ(Verdicts(json), AllPassBut({"QVX00002 held", "QVX00002 opens"}));
  EXPECT_EQ(CheckOf(json, "QVX00002", "held").at("text"),
            "another program has it open (the driver's list marks it opened); which one is not "
            "visible to this user");
  EXPECT_EQ(CheckOf(json, "QVX00002", "opens").at("text"),
            "not tried: another program has it (see held)");
  ASSERT_TRUE(vg_.SelectUnit(1));
  EXPECT_TRUE(vg_.Wire().empty()) << "never opened";

  const DoctorRun text = Doctor({});
  EXPECT_EQ(text.status, doctor::kExitProblem);
  EXPECT_NE(text.out.find("  held           FAIL  another program has it open"), std::string::npos)
      << text.out;
  EXPECT_NE(text.out.find("                 fix:  close the program that uses the generator"),
            std::string::npos);
  EXPECT_TRUE(text.out.ends_with("verdict: problem, see the checks marked FAIL\n"));
}

TEST_F(DoctorTest, AUnitOpenElsewhereIsHeld) {
  const auto open_ex = reinterpret_cast<d2xx::OpenExFn>(vg_.Symbol("FT_OpenEx"));
  const auto close = reinterpret_cast<d2xx::CloseFn>(vg_.Symbol("FT_Close"));
  char serial[] = "QVX00001";
  d2xx::Handle handle = nullptr;
  ASSERT_EQ(open_ex(serial, d2xx::FT_OPEN_BY_SERIAL_NUMBER, &handle), d2xx::FT_OK);
  const Json json = Json::parse(Doctor({"--json"}).out);
  EXPECT_EQ(Verdicts(json), AllPassBut({"QVX00001 held", "QVX00001 opens"}));
  close(handle);
}

TEST_F(DoctorTest, AUnitThatRefusesToOpenFailsOpens) {
  setenv("QVX_VG_OPEN_REFUSED_MS", "600000", 1);
  setenv("QVX_VG_FAULT_UNIT", "QVX00002", 1);
  vg_.SetUnits(2);
  const Json json = Json::parse(Doctor({"--json"}).out);
  EXPECT_EQ(Verdicts(json), AllPassBut({"QVX00002 opens"}));
  EXPECT_EQ(CheckOf(json, "QVX00002", "opens").at("text"),
            "it did not open (USB DEVICE not responding), after 0 ms");
  EXPECT_EQ(CheckOf(json, "QVX00002", "chip").at("text"),
            "an FT232R/FT245R, product string \"QVX5120I1\", serial \"QVX00002\", latency timer "
            "not read (the unit was not opened)");
}

TEST_F(DoctorTest, TwoUnitsWithOneSerialNumberFailChip) {
  TestRack rack("doctor-rack", {"QVX00007 1-4.1", "QVX00007 1-4.2"});
  vg_.Reset();
  const Json json = Json::parse(Doctor({"--json"}).out);
  EXPECT_EQ(json.at("verdict"), "problem");
  const Json& chip = json.at("devices").at(0).at("checks").at(4);
  EXPECT_EQ(chip.at("check"), "chip");
  EXPECT_EQ(chip.at("ok"), false);
  EXPECT_EQ(chip.at("text"),
            "an FT232R/FT245R, product string \"QVX5120I1\", serial \"QVX00007\", latency timer 0 "
            "ms; its serial number \"QVX00007\" is also the serial number of the unit at 1-4.2");
  // Told apart by their ports, both still open.
  for (int unit = 0; unit < 2; ++unit) {
    const Json& checks = json.at("devices").at(unit).at("checks");
    EXPECT_EQ(checks.at(5).at("check"), "opens");
    EXPECT_EQ(checks.at(5).at("ok"), true);
  }
}

TEST_F(DoctorTest, NoGeneratorFailsTheSearch) {
  setenv("QVX_VG_FAIL_OPEN", "1", 1);
  vg_.Reset();
  const DoctorRun run = Doctor({"--json"});
  EXPECT_EQ(run.status, doctor::kExitProblem);
  const Json json = Json::parse(run.out);
  EXPECT_EQ(json.at("verdict"), "problem");
  EXPECT_EQ(json.at("devices").size(), 0u);
  EXPECT_EQ(json.at("search"),
            (Json{{"check", "search"},
                  {"ok", false},
                  {"text", "no generator found, no other FTDI device"},
                  {"fix",
                   "plug the generator in (and power it), then run qvx5120-doctor again; a unit "
                   "the system does not see at all needs another cable, port or a powered hub"}}));
}

TEST_F(DoctorTest, NoLibraryNamesEveryFileTriedAndWhy) {
  SystemLibraryLoader absent("libqvx5120-absent-driver.so", {"/nonexistent/libftd2xx.so"});
  const DoctorRun run = Doctor({"--json"}, absent);
  EXPECT_EQ(run.status, doctor::kExitProblem);
  const Json library = Json::parse(run.out).at("library");
  EXPECT_EQ(library.at("ok"), false);
  EXPECT_EQ(library.at("kind"), "none");
  EXPECT_EQ(library.at("path"), "");
  EXPECT_EQ(library.at("tried"),
            (Json{{{"file", "libqvx5120-absent-driver.so"},
                   {"error",
                    "libqvx5120-absent-driver.so: cannot open shared object file: No such file "
                    "or directory"}},
                  {{"file", "/nonexistent/libftd2xx.so"},
                   {"error",
                    "/nonexistent/libftd2xx.so: cannot open shared object file: No such file or "
                    "directory"}}}));
  EXPECT_EQ(library.at("text"),
            "no driver library loads; tried: libqvx5120-absent-driver.so "
            "(libqvx5120-absent-driver.so: cannot open shared object file: No such file or "
            "directory); /nonexistent/libftd2xx.so (/nonexistent/libftd2xx.so: cannot open shared "
            "object file: No such file or directory)");
}

TEST_F(DoctorTest, ALibraryWithoutAnEntryPointFailsTheLibraryCheck) {
  SystemLibraryLoader variant(QVX_EMULATOR_DIR "/without-FT_Purge/libftd2xx.so");
  const Json library = Json::parse(Doctor({"--json"}, variant).out).at("library");
  EXPECT_EQ(library.at("ok"), false);
  EXPECT_EQ(library.at("fix"),
            "the library lacks entry points the programs need: install FTDI's current D2XX "
            "library, or the qvx5120 package's open library");
}

TEST_F(DoctorTest, TheCommandLine) {
  struct Row {
    Lines args;
    int status;
    std::string err;
  };
  const Row rows[] = {
      {{"--jsn"}, doctor::kExitUsage, "qvx5120-doctor: unknown option --jsn (see --help)\n"},
      {{"extra"}, doctor::kExitUsage, "qvx5120-doctor: unknown option extra (see --help)\n"},
      {{"--report"},
       doctor::kExitUsage,
       "qvx5120-doctor: --report needs a file name (see --help)\n"},
      {{"--report", "/nonexistent/dir/report.txt"},
       doctor::kExitProblem,
       "qvx5120-doctor: cannot write the report to /nonexistent/dir/report.txt: write failed\n"},
  };
  for (const Row& row : rows) {
    const DoctorRun run = Doctor(row.args);
    EXPECT_EQ(run.status, row.status) << row.args.front();
    EXPECT_EQ(run.err, row.err) << row.args.front();
  }
  const DoctorRun version = Doctor({"--version"});
  EXPECT_EQ(version.out, std::string("qvx5120-doctor ") + QVX_VERSION + "\n");
  const DoctorRun help = Doctor({"--help"});
  EXPECT_EQ(help.status, doctor::kExitOk);
  EXPECT_TRUE(help.out.starts_with("Usage: qvx5120-doctor [--json] [--report FILE]\n"));
}

TEST_F(DoctorTest, TheReportHoldsTheTextTheJsonAndTheSystem) {
  const std::string file = TempDir() + "/doctor-report.txt";
  const DoctorRun run = Doctor({"--report", file});
  EXPECT_EQ(run.status, doctor::kExitOk);
  std::ifstream in(file);
  const std::string report((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_TRUE(report.starts_with(std::string("qvx5120-doctor ") + QVX_VERSION + "\n\n" + run.out))
      << report;
  const size_t json_at = report.find("\n{\"verdict\":\"ok\"");
  ASSERT_NE(json_at, std::string::npos);
  const std::string json_line =
      report.substr(json_at + 1, report.find('\n', json_at + 1) - json_at);
  EXPECT_EQ(Json::parse(json_line).at("devices").size(), 2u);
  EXPECT_NE(report.find("\nsystem:\n  kernel: Linux "), std::string::npos);
  EXPECT_NE(report.find("\n  driver library: "), std::string::npos);
  EXPECT_NE(report.find("\nkernel log for the generators' ports:\n"), std::string::npos);
}

// The program as installed: two units whose flash files hold a pattern, a run with both free
// and one with QVX_VG_HELD on the second.
TEST(DoctorProgram, TwoUnitsPassWithTheirFlashUntouchedAndAHeldOneFails) {
  const std::string flash = TempDir() + "/doctor-flash.bin";
  std::vector<uint8_t> image(0x400000);
  for (size_t i = 0; i < image.size(); ++i)
    image[i] = static_cast<uint8_t>(i * 7 + i / 4096);
  for (const std::string& path : {flash, flash + ".QVX00002"}) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()), static_cast<long>(image.size()));
  }
  const auto run = [&](const std::string& env) {
    const std::string out = TempDir() + "/doctor.out";
    const std::string command =
        "env -u QVX_VG_FAULT_UNIT -u QVX_VG_RACK -u QVX_VG_HELD "
        "QVX_VG_UNITS=2 QVX_VG_FLASH='" +
        flash + "' " + env + " " QVX_DOCTOR_TOOL " --json >'" + out + "'";
    const int raw = std::system(command.c_str());
    std::ifstream in(out);
    return std::make_pair(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1,
                          Json::parse(std::string((std::istreambuf_iterator<char>(in)),
                                                  std::istreambuf_iterator<char>())));
  };
  const auto unchanged = [&](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> now((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
    return now == image;
  };

  const auto [status, json] = run("");
  EXPECT_EQ(status, 0) << json.dump();
  EXPECT_EQ(json.at("verdict"), "ok");
  ASSERT_EQ(json.at("devices").size(), 2u);
  for (const Json& device : json.at("devices")) {
    EXPECT_EQ(device.at("generator"), true);
    for (const Json& check : device.at("checks"))
      EXPECT_EQ(check.at("ok"), true) << check.dump();
  }
  EXPECT_TRUE(unchanged(flash));
  EXPECT_TRUE(unchanged(flash + ".QVX00002"));

  const auto [held_status, held] = run("QVX_VG_HELD=QVX00002");
  EXPECT_EQ(held_status, 4);
  EXPECT_EQ(held.at("verdict"), "problem");
  for (const Json& device : held.at("devices")) {
    for (const Json& check : device.at("checks")) {
      const bool second = device.at("serial") == "QVX00002";
      const bool fails = second && (check.at("check") == "held" || check.at("check") == "opens");
      EXPECT_EQ(check.at("ok"), !fails) << device.at("serial") << " " << check.dump();
    }
  }
  EXPECT_TRUE(unchanged(flash));
  EXPECT_TRUE(unchanged(flash + ".QVX00002"));
}

}  // namespace
}  // namespace qvx::test
