// The loader's operations through the open libftd2xx.so, the real libftdi1 and the libusb double,
// held byte for byte against the same operations on the virtual generator.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>

#include "cli/load_run.h"
#include "download/request.h"
#include "tests/download/image_check.h"
#include "tests/support/download_fixture.h"

namespace qvx::test {
namespace {

class OpenDriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (GeneratorControl* generator : {&usb, &reference}) {
      generator->Reset();
      generator->SetOption("busy_polls", 2);
    }
  }

  void TearDown() override {
    for (const GeneratorControl* generator : {&usb, &reference}) {
      EXPECT_TRUE(generator->Violations().empty())
          << "first violation: " << generator->Violations().front();
    }
  }

  // The generator behind the libusb double, and the virtual generator.
  GeneratorControl usb{QVX_USB_DOUBLE};
  GeneratorControl reference;
};

// Start-up, a banner, a test pattern and the audio loop in one session.
void DriveEveryKindOfDownload(Session& s) {
  s.Run(DownloadRequest::Banner(7), WriteFile("banner.bmp", MakeBmp(72)));

  std::vector<uint8_t> pattern(2880);
  for (size_t i = 0; i < pattern.size(); ++i)
    pattern[i] = static_cast<uint8_t>(i * 13 + 5);
  s.Run(DownloadRequest::Pattern(4), WriteFile("pattern.tst", pattern));

  // Channel 1 at 1000Hz and -6 dBFS, the others silent.
  s.Run(DownloadRequest::Audio({{12, 0, 0, 0}, {"-6", "0", "0", "0"}}));
}

TEST_F(OpenDriverTest, DownloadsReachTheFlashThroughLibftdiExactlyAsOnTheVirtualGenerator) {
  Session open(usb, QVX_OPEN_DRIVER);
  ASSERT_TRUE(open.link.connected());
  // libftdi's own open (reset, 9600 baud), the chosen latency timer, then the loader's reset and
  // its two purges of the receive side.
  EXPECT_EQ(
      open.Only({"control", "claim", "bulk out"}),
      (Lines{"claim QVX00001 -> 0", "control 00 0000 0001 -> 0", "control 03 4138 0000 -> 0",
             "control 09 0002 0001 -> 0", "control 00 0000 0001 -> 0", "control 00 0002 0001 -> 0",
             "control 00 0002 0001 -> 0", "bulk out FF -> 0 1"}));
  DriveEveryKindOfDownload(open);

  Session virtual_generator(reference);
  DriveEveryKindOfDownload(virtual_generator);

  EXPECT_EQ(open.Script(), virtual_generator.Script());
  EXPECT_EQ(Hex(usb.Wire()), Hex(reference.Wire()));
  EXPECT_TRUE(std::equal(usb.Flash().begin(), usb.Flash().end(), reference.Flash().begin(),
                         reference.Flash().end()));
  for (int n = 0; n < 36; ++n) {
    EXPECT_TRUE(LineHolds(usb, 0xF0000, n, 2 * n));
    EXPECT_TRUE(LineHolds(usb, 0xF8000, n, 2 * n + 1));
  }
  EXPECT_EQ(Matching(open.Script(), "info"), Lines(3, "info Download Complete | QVX-5120"));
}

TEST_F(OpenDriverTest, UnplugMidBannerEndsInTheSameMessagesAsOnTheVirtualGenerator) {
  auto banner = [](Session& s) {
    s.Run(DownloadRequest::Banner(0), WriteFile("banner.bmp", MakeBmp(72)));
  };
  usb.SetOption("unplug_after", 5000);
  Session open(usb, QVX_OPEN_DRIVER);
  banner(open);
  reference.SetOption("unplug_after", 5000);
  Session virtual_generator(reference);
  banner(virtual_generator);

  const auto messages = open.Only({"box", "info", "title"});
  EXPECT_EQ(messages, virtual_generator.Only({"box", "info", "title"}));
  EXPECT_EQ(Matching(messages, "info"), Lines{});
  EXPECT_EQ(Hex(usb.Wire()), Hex(reference.Wire()));
  EXPECT_EQ(usb.Wire().size(), 5000u);
}

struct AbsentCase {
  const char* option;  // set to the value that takes the generator away
  long long value;
};

void PrintTo(const AbsentCase& c, std::ostream* out) {
  *out << c.option << "=" << c.value;
}

class AbsentDeviceTest : public OpenDriverTest, public ::testing::WithParamInterface<AbsentCase> {};

TEST_P(AbsentDeviceTest, OpenFailsWithTheUsualBoxAndTitle) {
  usb.SetOption(GetParam().option, GetParam().value);
  Session open(usb, QVX_OPEN_DRIVER);
  EXPECT_FALSE(open.link.connected());
  EXPECT_EQ(open.Only({"box", "title"}),
            (Lines{"box USB DEVICE not responding", "title USB port NOT OPEN"}));
  open.Run(DownloadRequest::Banner(0));
  EXPECT_TRUE(usb.Wire().empty());
}

INSTANTIATE_TEST_SUITE_P(NoGenerator, AbsentDeviceTest,
                         ::testing::Values(AbsentCase{"devices", 0},      // none attached
                                           AbsentCase{"init_fails", 1}),  // no USB access
                         [](const auto& info) { return std::string(info.param.option); });

// The command-line loader as a user runs it, naming the driver library it loaded.
struct ToolRun {
  int status = -1;
  std::string out;
  std::string err;
};

ToolRun RunLoadTool(const std::string& env) {
  const std::string out = TempDir() + "/tool.out", err = TempDir() + "/tool.err";
  const std::string command = "env QVX_DRIVER_TRACE=1 " + env + " " QVX_LOAD_TOOL " banner 1 '" +
                              QVX_SAMPLE_BANNER "' >'" + out + "' 2>'" + err + "'";
  const int raw = std::system(command.c_str());
  auto slurp = [](const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  };
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(out), slurp(err)};
}

TEST(OpenDriverFallbackTest, PlainNameFirstThenTheBuildTreeLibraryBothEndInTheUsualMessages) {
  struct Case {
    std::string env;
    std::string library;
  };
  const Case cases[] = {
      // A libftd2xx.so on the library path keeps priority.
      {"LD_LIBRARY_PATH=" QVX_EMULATOR_DIR " QVX_VG_FAIL_OPEN=1", QVX_EMULATOR_DIR "/libftd2xx.so"},
      // Without one, the open library beside the tool: no generator attached, or no USB access.
      {"LD_LIBRARY_PATH=" QVX_USB_DOUBLE_DIR " QVX_USB_DEVICES=0",
       QVX_LOAD_TOOL_DIR "/../ftdi/libftd2xx.so"},
      {"LD_LIBRARY_PATH=" QVX_USB_DOUBLE_DIR " QVX_USB_INIT_FAILS=1",
       QVX_LOAD_TOOL_DIR "/../ftdi/libftd2xx.so"},
  };
  for (const Case& c : cases) {
    const ToolRun run = RunLoadTool(c.env);
    EXPECT_EQ(run.status, cli::kExitDevice) << c.env;
    EXPECT_EQ(run.out, "USB port NOT OPEN\n") << c.env;
    EXPECT_EQ(run.err, "qvx5120: driver library: " + c.library +
                           "\n"
                           "USB DEVICE not responding\n"
                           "qvx5120-load: the generator is not connected; nothing was loaded; to "
                           "see why, run qvx5120-doctor\n")
        << c.env;
  }
}

}  // namespace
}  // namespace qvx::test
