// qvx5120-load in-process on the virtual generator: the same bytes on the wire, the same waits and
// pauses as the window's operations, and an exit status that tells how the run ended.
#include <filesystem>

#include "tests/cli/cli_fixture.h"
#include "window/controls.h"

namespace qvx::test {
namespace {

using cli::kExitCompleted;
using cli::kExitDevice;
using cli::kExitRefused;
using cli::kExitUsage;

class LoaderTest : public CliTest {
 protected:
  std::string banner = WriteFile("cli-banner.bmp", MakeBmp(72));
  std::string picture = WriteFile("cli-picture.bmp", MakeBmp(576));
  std::string pattern = WriteFile("cli-pattern.tst", PatternBytes());

  static std::vector<uint8_t> PatternBytes() {
    std::vector<uint8_t> bytes(3000);
    for (size_t i = 0; i < bytes.size(); ++i)
      bytes[i] = static_cast<uint8_t>(i * 7 + 3);
    return bytes;
  }

  // The loader's run and the window's run of the same inputs leave the same capture log, waits,
  // pauses and flash.
  void ExpectSameAsWindow(const Lines& args, const std::function<void(Session&)>& drive) {
    const ToolRun cli = Load(args);
    ASSERT_EQ(cli.status, kExitCompleted) << cli.err;
    const std::vector<uint8_t> cli_flash = FlashCopy();
    const ToolRun window = Window(drive);
    ASSERT_FALSE(cli.calls.empty());
    // The loader closes the unit once it is done; the window keeps it open to its end.
    Lines loader_calls = DeviceCalls(cli.calls);
    ASSERT_EQ(loader_calls.back(), "FT_Close -> 0");
    loader_calls.pop_back();
    EXPECT_EQ(loader_calls, window.calls);
    EXPECT_EQ(cli.waits, window.waits);
    EXPECT_EQ(cli.pauses, window.pauses);
    EXPECT_TRUE(cli_flash == FlashCopy());
  }
};

// --- The same stream on the wire as the window ---

TEST_F(LoaderTest, BannerEightMatchesTheWindowByteForByte) {
  ExpectSameAsWindow({"banner", "8", banner},
                     [&](Session& s) { s.Run(DownloadRequest::Banner(7), banner); });
  EXPECT_FALSE(AllErased(generator.FlashAt(0xF0000, 720)));
}

TEST_F(LoaderTest, CountdownMatchesTheWindow) {
  ExpectSameAsWindow({"countdown", banner},
                     [&](Session& s) { s.Run(DownloadRequest::Countdown(), banner); });
}

TEST_F(LoaderTest, PictureTwoMatchesTheWindow) {
  ExpectSameAsWindow({"picture", "2", picture},
                     [&](Session& s) { s.Run(DownloadRequest::Picture(1), picture); });
}

TEST_F(LoaderTest, PatternFifteenMatchesTheWindow) {
  ExpectSameAsWindow({"pattern", "15", pattern},
                     [&](Session& s) { s.Run(DownloadRequest::Pattern(15), pattern); });
}

TEST_F(LoaderTest, AudioMatchesTheWindowWithTheListRowsAndTypedAmplitudes) {
  ExpectSameAsWindow(
      {"audio", "1000Hz", "-6", "16000Hz", "0", "Silence", "-0", "50Hz", "-20.5dB"},
      [&](Session& s) {
        s.Run(DownloadRequest::Audio({{12, 26, 0, 1}, {"-6", "0", "-0", "-20.5dB"}}));
      });
}

TEST_F(LoaderTest, EraseIsTheCancelledFileDialog) {
  ExpectSameAsWindow({"erase", "banner", "3", "erase", "pattern", "0", "erase", "picture", "1",
                      "erase", "countdown"},
                     [&](Session& s) {
                       s.Run(DownloadRequest::Banner(2));
                       s.Run(DownloadRequest::Pattern(0));
                       s.Run(DownloadRequest::Picture(0));
                       s.Run(DownloadRequest::Countdown());
                     });
}

TEST_F(LoaderTest, SeveralOperationsRunInOrderOverOneConnection) {
  ExpectSameAsWindow({"banner", "1", banner, "pattern", "4", pattern, "audio", "400Hz", "-3",
                      "400Hz", "-3", "Silence", "0", "Silence", "0"},
                     [&](Session& s) {
                       s.recorder.file_answers = {banner, pattern};
                       s.Run(DownloadRequest::Banner(0));
                       s.Run(DownloadRequest::Pattern(4));
                       s.Run(DownloadRequest::Audio({{7, 7, 0, 0}, {"-3", "-3", "0", "0"}}));
                     });
  const Lines calls = generator.Calls();
  EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                          [](const std::string& c) { return c.starts_with("FT_OpenEx"); }),
            1);
}

// --- Exit statuses ---

TEST_F(LoaderTest, CompletedRunExitsZeroWithTheStepsOnOutputAndTheBoxesOnError) {
  const ToolRun run = Load({"pattern", "4", pattern});
  EXPECT_EQ(run.status, kExitCompleted);
  EXPECT_EQ(run.err, "Download Complete\n");
  std::string expected = "USB port OPEN\n[1/1] pattern 4 from " + pattern + "\n";
  for (const char* line :
       {"[                              ]   0%", "Erasing Test Pattern 4",
        "[                              ]   0%", "[######                        ]  20%",
        "[############                  ]  40%", "[##################            ]  60%",
        "[########################      ]  80%", "[                              ]   0%",
        "Downloading Test Pattern 4", "[                              ]   0%",
        "[#########                     ]  33%", "[###################           ]  66%",
        "[                              ]   0%", "Finished Test Pattern Download",
        "All 1 operation completed."}) {
    expected += std::string(line) + "\n";
  }
  EXPECT_EQ(run.out, expected);
  const auto stored = generator.FlashAt(0x8000, 1440);
  EXPECT_TRUE(std::equal(stored.begin(), stored.end(), PatternBytes().begin()));
}

TEST_F(LoaderTest, OnATerminalTheBarIsRedrawnInPlace) {
  const ToolRun run = Load({"erase", "banner", "2"}, {}, true);
  EXPECT_EQ(run.status, kExitCompleted);
  EXPECT_EQ(run.out,
            "USB port OPEN\n[1/1] erase banner 2\nErasing Banner 2\n"
            "\r[#########                     ]  30%\r[##################            ]  60%\n"
            "Downloading Banner 2\nFinished Banner Download\nAll 1 operation completed.\n");
}

TEST_F(LoaderTest, RefusedInputsExitThreeBeforeTheGeneratorIsOpened) {
  const std::string fit = ", or load it with --fit letterbox, crop or stretch";
  const std::string kBannerHint = "; qvx5120-prep banner makes the file the generator takes" + fit;
  const std::string kPictureHint =
      "; qvx5120-prep picture makes the file the generator takes" + fit;
  const std::string short_banner = WriteFile("cli-short.bmp", MakeBmp(72, 155574 + 2160));
  const struct {
    Lines args;
    std::string message;
  } cases[] = {
      {{"banner", "1", banner, "banner", "2", picture},
       picture + ": Incorrect Banner file format: height 576 (a banner is 72 lines)" + kBannerHint},
      {{"picture", "1", banner},
       banner + ": Incorrect Picture file format: height 72 (a picture is 576 or 480 lines)" +
           kPictureHint},
      {{"countdown", short_banner},
       short_banner + ": Incorrect Banner file format: declared size 157734 (the generator takes " +
           "155574)" + kBannerHint},
      {{"pattern", "0", TempDir() + "/absent.tst"},
       TempDir() + "/absent.tst: cannot be opened for reading"},
      {{"pattern", "0", TempDir()}, TempDir() + ": is a folder, not a file"},
      {{"audio", "1000Hz", "0", "1000Hz", "0.001", "Silence", "0", "Silence", "0"},
       "CH 2's Amplitude Must be a negative value"},
  };
  for (const auto& c : cases) {
    const ToolRun run = Load(c.args);
    EXPECT_EQ(run.status, kExitRefused) << c.message;
    EXPECT_EQ(run.err, "qvx5120-load: " + c.message + "; nothing was sent to the generator\n");
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.calls, Lines{});
  }
}

TEST_F(LoaderTest, UsageErrorsExitTwoBeforeTheGeneratorIsOpened) {
  const ToolRun run = Load({"banner", "1", banner, "banner", "9", banner});
  EXPECT_EQ(run.status, kExitUsage);
  EXPECT_EQ(run.err, "qvx5120-load: banner slot \"9\" is not one of 1 to 8\n");
  EXPECT_EQ(run.calls, Lines{});
  EXPECT_EQ(Load({}).status, kExitUsage);
}

TEST_F(LoaderTest, HelpExitsZeroWithExamples) {
  const ToolRun run = Load({"--help"});
  EXPECT_EQ(run.status, kExitCompleted);
  EXPECT_TRUE(run.out.starts_with("Usage: qvx5120-load OPERATION [OPERATION...]\n"));
  EXPECT_NE(run.out.find("  qvx5120-load banner 1 station-id.bmp\n"), std::string::npos);
  EXPECT_EQ(run.calls, Lines{});
}

TEST_F(LoaderTest, NotConnectedExitsFourAndSendsNothing) {
  generator.SetOption("fail_open", 1);
  const ToolRun run = Load({"banner", "1", banner});
  EXPECT_EQ(run.status, kExitDevice);
  EXPECT_EQ(run.out, "USB port NOT OPEN\n");
  EXPECT_EQ(run.err,
            "USB DEVICE not responding\n"
            "qvx5120-load: the generator is not connected; nothing was loaded; to see why, run "
            "qvx5120-doctor\n");
  EXPECT_TRUE(generator.Wire().empty());
}

TEST_F(LoaderTest, GeneratorLostMidDownloadExitsFourAndStopsThere) {
  // Room for CMD_END_LOAD at start-up, CMD_BEGIN_LOAD, two sector erases with three status polls
  // each, and eight lines of the banner.
  generator.SetOption("unplug_after", 1 + 1 + 2 * (4 + 1 + 3) + 8 * (4 + 1 + 1536));
  const ToolRun run = Load({"banner", "1", banner, "pattern", "0", pattern});
  EXPECT_EQ(run.status, kExitDevice);
  EXPECT_EQ(run.err,
            "Download failed: the generator did not accept the data sent to it (is it still "
            "connected?)\nBanner 1 is incomplete; load it again.\n"
            "qvx5120-load: stopped at operation 1 of 2 (banner 1 from " +
                banner + ")\n");
  EXPECT_EQ(run.out.find("[2/2]"), std::string::npos);
}

TEST_F(LoaderTest, GeneratorThatStopsAnsweringExitsFourAndStopsThere) {
  generator.SetOption("mute", 1);
  const ToolRun run = Load({"banner", "2", banner, "pattern", "0", pattern});
  EXPECT_EQ(run.status, kExitDevice);
  EXPECT_EQ(run.err,
            "Download failed: the generator stopped answering (no status for 30 seconds)\n"
            "Banner 2 is incomplete; load it again.\n"
            "qvx5120-load: stopped at operation 1 of 2 (banner 2 from " +
                banner + ")\n");
  const Lines calls = DeviceCalls(run.calls);
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls[calls.size() - 2].substr(0, 11), "FT_Write FF");
  EXPECT_EQ(calls.back(), "FT_Close -> 0");
}

TEST_F(LoaderTest, FileSwappedAfterTheCheckIsRefusedByTheDownloadAndTheRunStops) {
  // The first wait is the second after CMD_BEGIN_LOAD: the file dialog has not been shown yet.
  const ToolRun run = Load({"banner", "5", banner, "pattern", "0", pattern}, [&](size_t wait) {
    if (wait == 1)
      WriteFile("cli-banner.bmp", MakeBmp(576));
  });
  EXPECT_EQ(run.status, kExitRefused);
  EXPECT_EQ(run.err,
            "Incorrect Banner file format\nDownload Complete\n"
            "qvx5120-load: stopped at operation 1 of 2 (banner 5 from " +
                banner + ")\n");
  EXPECT_TRUE(AllErased(generator.FlashAt(0xC0000, 0x10000)));
  EXPECT_TRUE(AllErased(generator.FlashAt(0, 1440)));  // pattern 0 never ran
}

TEST_F(LoaderTest, FileRemovedAfterTheCheckLeavesTheSlotErasedAndExitsThree) {
  const std::string doomed = WriteFile("cli-doomed.tst", PatternBytes());
  const ToolRun run = Load({"pattern", "2", doomed}, [&](size_t wait) {
    if (wait == 1)
      std::filesystem::remove(doomed);
  });
  EXPECT_EQ(run.status, kExitRefused);
  EXPECT_EQ(run.err, "Download Complete\nqvx5120-load: " + doomed +
                         ": could not be opened; the slot was left erased\n"
                         "qvx5120-load: stopped at operation 1 of 1 (pattern 2 from " +
                         doomed + ")\n");
  EXPECT_TRUE(AllErased(generator.FlashAt(0x3000, 1440)));
}

}  // namespace
}  // namespace qvx::test
