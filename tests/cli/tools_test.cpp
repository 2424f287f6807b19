// The two executables run as a user runs them, for what only a real process shows: the exit
// status, and the virtual generator found through the library path. Only runs that end at once.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "cli/flash_tool.h"
#include "cli/load_run.h"
#include "device/d2xx.h"
#include "prep/prep_tool.h"
#include "tests/support/session.h"

namespace qvx::test {
namespace {

struct Process {
  int status = -1;
  std::string out;
  std::string err;
};

std::string Slurp(const std::string& path) {
  std::ifstream in(path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Runs `command` through the shell, in the test's environment (the virtual generator first on the
// library path, its flash in memory) with `env` in front.
Process Shell(const std::string& env, const std::string& command) {
  const std::string out = TempDir() + "/tool.out", err = TempDir() + "/tool.err";
  const int raw = std::system((env + " " + command + " >'" + out + "' 2>'" + err + "'").c_str());
  Process p;
  p.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  p.out = Slurp(out);
  p.err = Slurp(err);
  return p;
}

TEST(ToolsTest, LoaderHelpUsageErrorAndNoGenerator) {
  const Process help = Shell("", QVX_LOAD_TOOL " --help");
  EXPECT_EQ(help.status, cli::kExitCompleted);
  EXPECT_TRUE(help.out.starts_with("Usage: qvx5120-load OPERATION [OPERATION...]\n"));
  EXPECT_EQ(help.err, "");

  for (const char* tool : {QVX_LOAD_TOOL, QVX_FLASH_TOOL}) {
    const Process version = Shell("", std::string(tool) + " --version");
    EXPECT_EQ(version.status, 0) << tool;
    EXPECT_EQ(version.out, std::filesystem::path(tool).filename().string() + " " QVX_VERSION "\n");
  }

  const Process usage = Shell("", QVX_LOAD_TOOL " pattern 16 x.tst");
  EXPECT_EQ(usage.status, cli::kExitUsage);
  EXPECT_EQ(usage.err, "qvx5120-load: pattern slot \"16\" is not one of 0 to 15\n");

  const Process refused = Shell("", QVX_LOAD_TOOL " audio Silence 0 Silence 0 Silence 3 Silence 0");
  EXPECT_EQ(refused.status, cli::kExitRefused);
  EXPECT_EQ(refused.err,
            "qvx5120-load: Ch 3's Amplitude Must be a negative value; nothing was sent to the "
            "generator\n");

  const std::string capture = TempDir() + "/tool-capture.log";
  const Process absent = Shell("QVX_VG_FAIL_OPEN=1 QVX_VG_CAPTURE='" + capture + "'",
                               QVX_LOAD_TOOL " banner 1 '" QVX_SAMPLE_BANNER "'");
  EXPECT_EQ(absent.status, cli::kExitDevice);
  EXPECT_EQ(absent.out, "USB port NOT OPEN\n");
  EXPECT_EQ(absent.err,
            "USB DEVICE not responding\n"
            "qvx5120-load: the generator is not connected; nothing was loaded; to see why, run "
            "qvx5120-doctor\n");
  // The library the tool loaded is the virtual generator: it logged the listing, which found no
  // unit, and the refused open.
  EXPECT_TRUE(
      Slurp(capture).starts_with("FT_CreateDeviceInfoList -> 0 0\nFT_OpenEx QVX5120I1 2 -> 2\n"))
      << Slurp(capture);
}

TEST(ToolsTest, FlashReaderInfoOnAFile) {
  std::vector<uint8_t> flash(size_t{4} << 20, 0xFF);
  std::fill_n(flash.begin() + 0x8000 * 2, 2880, uint8_t{0x42});  // pattern 4
  const std::string image = WriteFile("tools-flash.bin", flash);
  const Process info = Shell("", QVX_FLASH_TOOL " --image '" + image + "' info");
  EXPECT_EQ(info.status, cli::kFlashDone);
  EXPECT_NE(info.out.find("\nPattern 4   content  ok: 2880 bytes\n"), std::string::npos)
      << info.out;
  const Process usage = Shell("QVX_VG_FLASH=none", QVX_FLASH_TOOL " info");
  EXPECT_EQ(usage.status, cli::kFlashUsage);
  EXPECT_EQ(usage.err,
            "qvx5120-flash: no flash image: give --image FILE (QVX_VG_FLASH=none keeps the flash "
            "in memory)\n");
}

// What a new user meets first: a folder for a file, a flash viewer asked before anything was
// loaded, a file that is no picture. Each answer names what is wrong, with the status of its kind.
TEST(ToolsTest, RefusedInputIsNamedForWhatItIs) {
  const std::string folder = TempDir();
  const std::string never_loaded = TempDir() + "/never-loaded/flash.bin";
  const std::string text_file = WriteFile("not-a-picture.txt", std::vector<uint8_t>(16, 'a'));
  const std::string output = TempDir() + "/prepared.bmp";
  struct Case {
    std::string env;
    std::string command;
    int status;
    std::string err_starts;
  };
  const Case cases[] = {
      {"", QVX_LOAD_TOOL " picture 1 '" + folder + "'", cli::kExitRefused,
       "qvx5120-load: " + folder +
           ": is a folder, not a file; nothing was sent to the generator\n"},
      {"QVX_VG_FLASH='" + never_loaded + "'", QVX_FLASH_TOOL " info", cli::kFlashFileError,
       "qvx5120-flash: no flash file yet at " + never_loaded +
           ": nothing has been loaded into the virtual generator (or give --image FILE)\n"},
      {"", QVX_FLASH_TOOL " --image '" + folder + "' info", cli::kFlashFileError,
       "qvx5120-flash: " + folder + ": is a folder, not a flash image\n"},
      {"", QVX_PREP_TOOL " picture '" + text_file + "' '" + output + "'", prep::kPrepRefused,
       "qvx5120-prep: " + text_file + ": cannot be read as a picture ("},
  };
  for (const Case& c : cases) {
    const Process p = Shell(c.env, c.command);
    EXPECT_EQ(p.status, c.status) << c.command;
    EXPECT_TRUE(p.err.starts_with(c.err_starts)) << c.command << "\n" << p.err;
    EXPECT_EQ(p.out, "") << c.command;
  }
  EXPECT_FALSE(std::filesystem::exists(never_loaded)) << "asking wrote a flash file";
  EXPECT_FALSE(std::filesystem::exists(output));
}

TEST(ToolsTest, UnitHeldOpenByAnotherProcessRefusesTheLoaderAndKeepsItsFlash) {
  // This process holds unit 1, whose flash lives in a file of this test's own.
  std::vector<uint8_t> content(size_t{4} << 20, 0xFF);
  std::fill_n(content.begin(), 4096, uint8_t{0x42});
  const std::string flash = WriteFile("held-flash.bin", content);
  const VirtualGenerator holder;
  holder.Reset();
  holder.SetFlashFile(flash);
  const auto open_ex = reinterpret_cast<d2xx::OpenExFn>(holder.Symbol("FT_OpenEx"));
  const auto close = reinterpret_cast<d2xx::CloseFn>(holder.Symbol("FT_Close"));
  char serial[] = "QVX00001";
  d2xx::Handle handle = nullptr;
  ASSERT_EQ(open_ex(serial, d2xx::FT_OPEN_BY_SERIAL_NUMBER, &handle), d2xx::FT_OK);

  const Process refused =
      Shell("QVX_VG_FLASH='" + flash + "'", QVX_LOAD_TOOL " erase banner 1 erase pattern 0");
  EXPECT_EQ(refused.status, cli::kExitDevice);
  EXPECT_EQ(refused.err,
            "USB DEVICE not responding\n"
            "qvx5120-load: the generator is not connected; nothing was loaded; to see why, run "
            "qvx5120-doctor\n");
  EXPECT_TRUE(Slurp(flash) == std::string(content.begin(), content.end()));

  // Closing lets go of the lock: a new open (a new lock on the file) succeeds.
  EXPECT_EQ(close(handle), d2xx::FT_OK);
  ASSERT_EQ(open_ex(serial, d2xx::FT_OPEN_BY_SERIAL_NUMBER, &handle), d2xx::FT_OK);
  EXPECT_EQ(close(handle), d2xx::FT_OK);
  holder.Reset();
}

}  // namespace
}  // namespace qvx::test
