// Bad files and device faults during downloads: each ends with one clear box, the frame closed and
// no "Download Complete".
#include <filesystem>

#include "tests/download/image_check.h"
#include "tests/support/download_fixture.h"

namespace qvx::test {
namespace {

class FaultTest : public DownloadTest {
 protected:
  // The frame is closed: buttons back, arrow cursor, bar at 0, no completion box.
  static void ExpectClosedWithoutCompletion(const Session& s, const Lines& script) {
    EXPECT_EQ(Matching(script, "info"), Lines{});
    EXPECT_EQ(script.back(), kReset);
    EXPECT_EQ(*(script.end() - 2), "progress 0");
    EXPECT_FALSE(s.recorder.wait_cursor);
    for (int id : control::kDownloadButtons)
      EXPECT_TRUE(s.recorder.enabled.at(id)) << id;
  }
};

TEST_F(FaultTest, BmpShorterThanAHeaderIsRefusedEvenAfterAGoodOne) {
  Session s(generator);
  s.Run(DownloadRequest::Banner(0), WriteFile("good.bmp", MakeBmp(72)));
  const auto good = MakeBmp(72);
  // The first 40 bytes of a good header: the rest would come from the previous file.
  s.recorder.file_answers.push_back(
      WriteFile("stub.bmp", std::span<const uint8_t>(good.data(), 40)));
  const size_t from = s.recorder.trace.size();
  s.Run(DownloadRequest::Banner(0));
  const Lines script = s.Script(from);
  EXPECT_EQ(Matching(script, "box"), Lines{"box Incorrect Banner file format"});
  EXPECT_EQ(Matching(script, "> F8"), Lines{});
  EXPECT_EQ(Matching(script, "info"), Lines{"info Download Complete | QVX-5120"});
  EXPECT_TRUE(AllErased(generator.FlashAt(0x80000, 0x10000)));
}

TEST_F(FaultTest, TruncatedBmpIsRefusedBeforeAnythingIsWritten) {
  Session s(generator);
  auto bmp = MakeBmp(576);
  bmp.resize(bmp.size() - 2160 * 3 - 100);
  s.Run(DownloadRequest::Picture(0), WriteFile("cut.bmp", bmp));
  const Lines script = s.Script(s.after_start);
  EXPECT_EQ(Matching(script, "box"), Lines{"box Incorrect Picture file format"});
  EXPECT_EQ(Matching(script, "> F8"), Lines{});
  EXPECT_TRUE(AllErased(generator.FlashAt(0x100000, 0x80000)));
}

TEST_F(FaultTest, FileThatShrinksDuringTheTransferStopsWithAMessage) {
  Session s(generator);
  const std::string path = WriteFile("shrinking.bmp", MakeBmp(576));
  s.recorder.file_answers.push_back(path);
  bool cut = false;
  s.recorder.on_pause = [&] {
    // The pause right after the header check: the file loses all but its first twelve rows.
    const auto& trace = s.recorder.trace;
    if (!cut && trace.size() >= 2 && trace[trace.size() - 2].starts_with("file ")) {
      std::filesystem::resize_file(path, 54 + 2160 * 12);
      cut = true;
    }
  };
  s.Run(DownloadRequest::Picture(0));
  const Lines script = s.Script(s.after_start);
  EXPECT_EQ(Matching(script, "box"),
            Lines{"box Download failed: the file became shorter while it was being read\n"
                  "Picture 1 is incomplete; load it again."});
  EXPECT_EQ(Matching(script, "> F8").size(), 12u);
  EXPECT_EQ(*(script.end() - 3), "> FF");
  ExpectClosedWithoutCompletion(s, script);
}

TEST_F(FaultTest, UnplugInTheMiddleOfAPictureStopsAtTheFirstRefusedWrite) {
  Session s(generator);
  s.recorder.file_answers.push_back(WriteFile("picture.bmp", MakeBmp(576)));
  // Start-up byte, CMD_BEGIN_LOAD, 16 erases of 4 + 1 + 3 polls, then 100 lines and a bit.
  generator.SetOption("unplug_after", 1 + 1 + 16 * 8 + 100 * (4 + 1 + 1536) + 700);
  s.Run(DownloadRequest::Picture(0));
  const Lines script = s.Script(s.after_start);
  EXPECT_EQ(Matching(script, "box"),
            Lines{"box Download failed: the generator did not accept the data sent to it (is it "
                  "still connected?)\nPicture 1 is incomplete; load it again."});
  EXPECT_EQ(Matching(script, "> [1536]").size(), 101u);
  EXPECT_EQ(Matching(script, "> [1536] !4 695").size(), 1u);
  // Nothing more is sent once the generator refused a write: no CMD_END_LOAD either.
  EXPECT_EQ(Matching(script, "> FF"), Lines{});
  ExpectClosedWithoutCompletion(s, script);
  // The next operation finds the generator still gone and says so again.
  const size_t from = s.recorder.trace.size();
  s.Run(DownloadRequest::Pattern(0));
  EXPECT_EQ(Matching(s.Script(from), "box").size(), 1u);
  EXPECT_EQ(Matching(s.Script(from), "info"), Lines{});
}

TEST_F(FaultTest, EraseThatNeverFinishesStopsTheBannerAndLeavesLoadingMode) {
  Session s(generator);
  generator.SetOption("never_ready", 1);
  s.Run(DownloadRequest::Banner(0), WriteFile("banner.bmp", MakeBmp(72)));
  const Lines script = s.Script(s.after_start);
  EXPECT_EQ(Matching(script, "box"),
            Lines{"box Download failed: the generator did not report the end of the flash "
                  "erase\nBanner 1 is incomplete; load it again."});
  EXPECT_EQ(Matching(script, "> F6").size(), 1u);
  EXPECT_EQ(Matching(script, "file"), Lines{});
  EXPECT_EQ(*(script.end() - 3), "> FF");
  ExpectClosedWithoutCompletion(s, script);
  EXPECT_FALSE(generator.InLoadingMode());
}

TEST_F(FaultTest, PatternWriteThatNeverFinishesIsReported) {
  Session s(generator);
  const std::vector<uint8_t> pattern(2880, 0x5A);
  s.recorder.file_answers.push_back(WriteFile("p.tst", pattern));
  // The two erases finish; the write never does.
  std::vector<uint8_t> answers = {0, 1, 0, 1};
  answers.insert(answers.end(), kPollAttempts, 0);
  generator.SetStatusAnswers(answers);
  s.Run(DownloadRequest::Pattern(5));
  const Lines script = s.Script(s.after_start);
  EXPECT_EQ(Matching(script, "box"),
            Lines{"box Download failed: the generator did not report the end of the pattern "
                  "write\nTest pattern 5 is incomplete; load it again."});
  EXPECT_EQ(Matching(script, "> FE"), Lines{});
  ExpectClosedWithoutCompletion(s, script);
}

TEST_F(FaultTest, UnplugDuringTheAudioBlocksIsReported) {
  Session s(generator);
  generator.SetOption("unplug_after", 1 + 1 + 8 + 4 + 3 * 1537 + 10);
  s.Run(DownloadRequest::Audio(InitialAudio()));
  const Lines script = s.Script(s.after_start);
  EXPECT_EQ(Matching(script, "box"),
            Lines{"box Download failed: the generator did not accept the data sent to it (is it "
                  "still connected?)\nThe audio loop is incomplete; load it again."});
  EXPECT_EQ(Matching(script, "> [1536]").size(), 4u);
  EXPECT_EQ(Matching(script, "> [1536] !4 9").size(), 1u);
  ExpectClosedWithoutCompletion(s, script);
}

// The generator's timing: an erase that takes real time is waited for and changes nothing but the
// number of status queries; a generator that stops answering ends the operation at the silence
// bound of the (fake) clock; one that keeps answering "busy" is waited for past that bound.
class TimingTest : public FaultTest {
 protected:
  // The banner's script with every run of status commands counted as one.
  Lines BannerScript(Session& s) {
    s.Run(DownloadRequest::Banner(0), WriteFile("banner.bmp", MakeBmp(72)));
    Lines script = s.Script(s.after_start);
    for (auto& line : script) {
      const std::string repeated = "> FD x";
      if (line.size() > repeated.size() && line.starts_with(repeated) &&
          line.find_first_not_of("0123456789", repeated.size()) == std::string::npos)
        line = "> FD";
    }
    return script;
  }
};

TEST_F(TimingTest, SlowEraseIsWaitedForAndOnlyTheNumberOfStatusQueriesChanges) {
  Session quick(generator);
  const Lines expected = BannerScript(quick);
  const std::vector<uint8_t> flash(generator.Flash().begin(), generator.Flash().end());

  // No counted busy polls: every "busy" answer now comes from the erase's own time, which is long
  // enough that even a loaded machine polls before it has passed.
  generator.Reset();
  generator.SetOption("busy_polls", 0);
  generator.SetOption("erase_ms", 1000);
  Session slow(generator);
  EXPECT_EQ(BannerScript(slow), expected);
  // Both erases were answered "busy" first, and the window had its chances to repaint meanwhile.
  const Lines busy = slow.Only({"FT_Read 1 -> 0 1 00"});
  EXPECT_GE(busy.size(), 2u);
  EXPECT_GT(slow.recorder.clock.idles, quick.recorder.clock.idles);
  EXPECT_TRUE(std::equal(flash.begin(), flash.end(), generator.Flash().begin()));
}

TEST_F(TimingTest, MuteGeneratorEndsTheOperationAtTheSilenceBound) {
  Session s(generator);
  generator.SetOption("mute", 1);
  EXPECT_EQ(s.Run(DownloadRequest::Banner(0), WriteFile("banner.bmp", MakeBmp(72))),
            Outcome::kFailed);
  const Lines script = s.Script(s.after_start);
  EXPECT_EQ(Matching(script, "box"),
            Lines{"box Download failed: the generator stopped answering (no status for 30 "
                  "seconds)\nBanner 1 is incomplete; load it again."});
  // CMD_END_LOAD is the last byte sent; the file was never asked for.
  const Lines writes = Matching(script, ">");
  EXPECT_EQ(writes.back(), "> FF");
  EXPECT_EQ(Matching(script, "file"), Lines{});
  ExpectClosedWithoutCompletion(s, script);
  // Every attempt's read waited out its time-out and came back empty.
  const Lines reads = s.Only({"FT_Read"});
  EXPECT_EQ(reads, Lines(reads.size(), "FT_Read 1 -> 0 0"));
  EXPECT_GE(s.recorder.clock.time.now, kSilenceLimit);
}

TEST_F(TimingTest, GeneratorBusyForLongerThanTheBoundButAnsweringIsWaitedFor) {
  Session s(generator);
  // Ten seconds of the fake clock pass at every reading: 40 "busy" answers span 400 s.
  generator.SetStatusAnswers(std::vector<uint8_t>(40, 0));
  EXPECT_EQ(s.Run(DownloadRequest::Banner(0), WriteFile("banner.bmp", MakeBmp(72))),
            Outcome::kCompleted);
  EXPECT_EQ(Matching(s.Script(s.after_start), "info"), Lines{"info Download Complete | QVX-5120"});
  EXPECT_GT(s.recorder.clock.time.now, 10 * kSilenceLimit);
}

}  // namespace
}  // namespace qvx::test
