// The loader's command line: what each operation asks for, what is refused before anything is
// sent, and the answers the terminal gives where the window would ask the user.
#include <gtest/gtest.h>

#include "cli/load_command.h"
#include "cli/terminal_window.h"
#include "station_core/station_session.h"
#include "tests/support/session.h"
#include "window/controls.h"

namespace qvx::cli {
namespace {

using Args = std::vector<std::string>;

std::string UsageMessage(const Args& args) {
  try {
    ParseLoadCommand(args);
  } catch (const UsageError& error) {
    return error.what();
  }
  return "accepted";
}

TEST(LoadCommandTest, ReadsEveryOperationInOrder) {
  const LoadCommand command = ParseLoadCommand(
      Args{"picture", "2",  "p.bmp", "banner",    "8",      "b.bmp",   "countdown", "c.bmp",
           "pattern", "15", "t.tst", "audio",     "1000Hz", "-6",      "Silence",   "",
           "16000Hz", "-0", "50Hz",  "x",         "erase",  "picture", "1",         "erase",
           "banner",  "1",  "erase", "countdown", "erase",  "pattern", "0"});
  EXPECT_FALSE(command.help);
  std::vector<std::string> described;
  for (const LoadStep& step : command.steps)
    described.push_back(Describe(step));
  EXPECT_EQ(described,
            (std::vector<std::string>{
                "picture 2 from p.bmp", "banner 8 from b.bmp", "countdown from c.bmp",
                "pattern 15 from t.tst", "audio 1000Hz -6, Silence , 16000Hz -0, 50Hz x",
                "erase picture 1", "erase banner 1", "erase countdown", "erase pattern 0"}));
  const LoadStep& audio = command.steps[4];
  EXPECT_EQ(audio.request.audio.tone_rows, (std::array<int, 4>{12, 0, 26, 1}));
  EXPECT_EQ(audio.request.audio.amplitudes, (std::array<std::string, 4>{"-6", "", "-0", "x"}));
  EXPECT_EQ(command.steps[2].request.slot.number(), 9);
  EXPECT_TRUE(command.steps[5].erase);
  EXPECT_TRUE(command.steps[5].file.empty());
}

TEST(LoadCommandTest, RefusesSlotsAndLabelsOutsideTheLists) {
  EXPECT_EQ(UsageMessage({"picture", "3", "p.bmp"}), "picture slot \"3\" is not one of 1 to 2");
  EXPECT_EQ(UsageMessage({"picture", "0", "p.bmp"}), "picture slot \"0\" is not one of 1 to 2");
  EXPECT_EQ(UsageMessage({"banner", "9", "b.bmp"}), "banner slot \"9\" is not one of 1 to 8");
  EXPECT_EQ(UsageMessage({"pattern", "16", "t.tst"}), "pattern slot \"16\" is not one of 0 to 15");
  EXPECT_EQ(UsageMessage({"pattern", "-1", "t.tst"}), "pattern slot \"-1\" is not one of 0 to 15");
  EXPECT_EQ(UsageMessage({"pattern", "1x", "t.tst"}), "pattern slot \"1x\" is not one of 0 to 15");
  EXPECT_EQ(UsageMessage({"erase", "banner", "0"}), "banner slot \"0\" is not one of 1 to 8");
  const std::string list =
      " is not in the frequency list (Silence 50Hz 100Hz 150Hz 200Hz 250Hz 300Hz 400Hz 500Hz "
      "600Hz 750Hz 800Hz 1000Hz 1200Hz 1500Hz 1600Hz 2000Hz 2400Hz 3000Hz 3200Hz 4000Hz 4800Hz "
      "6000Hz 8000Hz 9600Hz 12000Hz 16000Hz)";
  EXPECT_EQ(UsageMessage({"audio", "1000Hz", "0", "1kHz", "0", "Silence", "0", "Silence", "0"}),
            "audio channel 2: \"1kHz\"" + list);
  EXPECT_EQ(UsageMessage({"audio", "50Hz", "0", "50Hz", "0", "50Hz", "0", "silence", "0"}),
            "audio channel 4: \"silence\"" + list);
}

TEST(LoadCommandTest, ReadsTheStationsOptionsAndRefusesThemOutOfPlace) {
  const cli::LoadCommand station =
      ParseLoadCommand(Args{"--station", "--stop-after", "4", "--retries", "2", "--operator", "ana",
                            "--work-order", "WO-7", "--set", "line.toml"});
  EXPECT_TRUE(station.station);
  EXPECT_EQ(station.stop_after, 4);
  EXPECT_EQ(station.retries, 2);
  EXPECT_EQ(station.operator_name, "ana");
  EXPECT_EQ(station.work_order, "WO-7");
  EXPECT_EQ(ParseLoadCommand(Args{"--pin", "line.toml"}).pin_file, "line.toml");
  // Retries and who ran it serve any load, not only the station's.
  const cli::LoadCommand plain =
      ParseLoadCommand(Args{"--retries", "1", "--operator", "ana", "banner", "1", "a.bmp"});
  EXPECT_EQ(plain.retries, 1);
  EXPECT_EQ(plain.operator_name, "ana");

  const struct {
    Args args;
    const char* message;
  } refused[] = {
      {{"--station", "--retries", "6", "--set", "s.toml"},
       "--retries: \"6\" is not a whole number from 0 to 5"},
      {{"--station", "--stop-after", "0", "--set", "s.toml"},
       "--stop-after: \"0\" is not a whole number from 1 to 1000000000"},
      {{"--station", "--stop-after", "2x", "--set", "s.toml"},
       "--stop-after: \"2x\" is not a whole number from 1 to 1000000000"},
      {{"--stop-after", "1", "--set", "s.toml"}, "--stop-after goes with --station"},
      {{"--stop-after", "1", "--stop-after", "2", "--station", "--set", "s.toml"},
       "--stop-after is given twice"},
      {{"--set"}, "--set: missing content set file"},
      {{"--record", "", "--set", "s.toml"}, "--record: the value is empty"},
      {{"--station", "--all-units", "--set", "s.toml"},
       "--station cannot be combined with --list, --unit or --all-units"},
      {{"--station", "--operator", "a", "--operator", "b", "--set", "s.toml"},
       "--operator is given twice"},
      {{"--pin", "s.toml", "--station"}, "--pin takes a content set and nothing else"},
      {{"--pin", "s.toml", "banner", "1", "a.bmp"}, "--pin takes a content set and nothing else"},
  };
  for (const auto& [args, message] : refused)
    EXPECT_EQ(UsageMessage(args), message) << args.front();
}

TEST(LoadCommandTest, RefusesIncompleteAndUnknownCommandLines) {
  EXPECT_EQ(UsageMessage({}), "no operation given (see --help)");
  EXPECT_EQ(UsageMessage({"banner", "1"}), "banner: missing BMP file");
  EXPECT_EQ(UsageMessage({"banner"}), "banner: missing slot number");
  EXPECT_EQ(UsageMessage({"pattern", "1"}), "pattern: missing .tst file");
  EXPECT_EQ(UsageMessage({"audio", "1000Hz", "0", "1000Hz"}), "audio: missing channel 2 amplitude");
  EXPECT_EQ(UsageMessage({"erase", "audio"}),
            "erase: \"audio\" is not picture, banner, countdown or pattern");
  EXPECT_EQ(UsageMessage({"erase"}),
            "erase: missing slot kind (picture, banner, countdown, pattern)");
  EXPECT_EQ(UsageMessage({"flash", "1"}), "\"flash\" is not an operation (see --help)");
  EXPECT_EQ(UsageMessage({"--help", "banner"}), "--help takes no operations");
  EXPECT_TRUE(ParseLoadCommand(Args{"-h"}).help);
  EXPECT_EQ(UsageMessage({"--version", "banner"}), "--version takes no operations");
}

TEST(LoadCommandTest, ChecksContentBeforeAnythingIsSent) {
  using test::MakeBmp;
  using test::WriteFile;
  const std::string banner = WriteFile("check-banner.bmp", MakeBmp(72));
  const std::string short_picture = WriteFile("check-short.bmp", MakeBmp(480));
  std::vector<uint8_t> header = MakeBmp(72);
  header.resize(54);
  const std::string header_only = WriteFile("check-header.bmp", header);
  const std::string empty = WriteFile("check-empty.tst", {});
  auto check = [](const Args& args) {
    const auto refusal = CheckStepInput(ParseLoadCommand(args).steps.front());
    return refusal ? *refusal : "accepted";
  };
  EXPECT_EQ(check({"banner", "1", banner}), "accepted");
  EXPECT_EQ(check({"countdown", QVX_SAMPLE_BANNER}), "accepted");
  EXPECT_EQ(check({"picture", "1", short_picture}), "accepted");  // 720 x 480 is a picture
  // The window's refusal, then in words what failed and how to make the file.
  const std::string fit = ", or load it with --fit letterbox, crop or stretch";
  EXPECT_EQ(check({"banner", "1", short_picture}),
            short_picture + ": Incorrect Banner file format: height 480 (a banner is 72 lines); " +
                "qvx5120-prep banner makes the file the generator takes" + fit);
  EXPECT_EQ(check({"picture", "2", banner}),
            banner + ": Incorrect Picture file format: height 72 (a picture is 576 or 480 " +
                "lines); qvx5120-prep picture makes the file the generator takes" + fit);
  EXPECT_EQ(check({"banner", "3", header_only}),
            header_only + ": Incorrect Banner file format: 54 bytes, shorter than the 155574 its " +
                "header declares; qvx5120-prep banner makes the file the generator takes" + fit);
  EXPECT_EQ(check({"pattern", "0", empty}), "accepted");  // patterns are stored as they come
  EXPECT_EQ(check({"pattern", "0", "/nonexistent/t.tst"}),
            "/nonexistent/t.tst: cannot be opened for reading");
  EXPECT_EQ(check({"erase", "picture", "1"}), "accepted");
  EXPECT_EQ(check({"audio", "50Hz", "-200", "50Hz", "0", "50Hz", "-0", "50Hz", "-6dB"}),
            "accepted");
  EXPECT_EQ(check({"audio", "50Hz", "0", "50Hz", "0", "50Hz", "0", "50Hz", "0.001"}),
            "Ch 4's Amplitude Must be a negative value");
}

TEST(TerminalWindowTest, StepsBecomeTheWindowsRequestsAndTheFileDialogAnswersFromTheStep) {
  std::ostringstream out, err;
  TerminalWindow window(out, err, TerminalWindow::Bar::kLines);
  const auto operations =
      OperationsOf(ParseLoadCommand(Args{"picture", "2", "p.bmp", "erase", "banner", "8"}).steps);
  ASSERT_EQ(operations.size(), 2u);
  window.BeginOperation(0, 2, operations[0], 1);
  EXPECT_EQ(operations[0].request, DownloadRequest::Picture(1));
  EXPECT_EQ(window.ChooseFile({"Banner files(*.bmp)", "*.bmp"}), "p.bmp");
  EXPECT_EQ(ParseLoadCommand(Args{"pattern", "0", "t.tst"}).steps.front().request,
            DownloadRequest::Pattern(0));
  window.BeginOperation(1, 2, operations[1], 2);
  EXPECT_EQ(operations[1].request, DownloadRequest::Banner(7));
  EXPECT_EQ(window.ChooseFile({"Banner files(*.bmp)", "*.bmp"}), std::nullopt);
  EXPECT_EQ(out.str(), "[1/2] picture 2 from p.bmp\n[2/2] erase banner 8 (attempt 2)\n");
  out.str("");
  // While held back (a just-plugged unit's opens tried again), nothing shows but the box is noted;
  // a try that failed is dropped, the one that opened shown.
  window.HoldBack();
  window.SetTitle("USB port NOT OPEN");
  window.ShowMessage("USB DEVICE not responding");
  EXPECT_EQ(window.last_message(), "USB DEVICE not responding");
  window.Release(station::UnitWindow::Held::kDrop);
  window.HoldBack();
  window.SetTitle("USB port OPEN");
  EXPECT_EQ(out.str(), "");
  window.Release(station::UnitWindow::Held::kShow);
  EXPECT_EQ(out.str(), "USB port OPEN\n");
  EXPECT_EQ(
      ParseLoadCommand(Args{"audio", "50Hz", "-1", "100Hz", "-2", "Silence", "-3", "16000Hz", "-4"})
          .steps.front()
          .request,
      DownloadRequest::Audio({{1, 2, 0, 26}, {"-1", "-2", "-3", "-4"}}));
  EXPECT_EQ(err.str(), "");
}

TEST(TerminalWindowTest, ProgressBarFillsOneCellPerThirtiethAndClamps) {
  EXPECT_EQ(ProgressBar(0), "[                              ]   0%");
  EXPECT_EQ(ProgressBar(4), "[#                             ]   4%");
  EXPECT_EQ(ProgressBar(97), "[############################# ]  97%");
  EXPECT_EQ(ProgressBar(100), "[" + std::string(30, '#') + "] 100%");
  EXPECT_EQ(ProgressBar(250), ProgressBar(100));
  EXPECT_EQ(ProgressBar(-5), ProgressBar(0));
}

}  // namespace
}  // namespace qvx::cli
