// The audio download, end to end on the virtual generator.
#include "encode/amplitude.h"
#include "encode/tone_synthesis.h"
#include "tests/support/download_fixture.h"

namespace qvx::test {
namespace {

class AudioTest : public DownloadTest {
 protected:
  // The loop as the generator should hold it: 960 frames of four words, one after another.
  static std::vector<uint8_t> ExpectedLoop(const std::array<ChannelTone, 4>& tones) {
    std::array<ChannelWords, 4> channels{};
    for (int ch = 0; ch < 4; ++ch)
      SynthesizeChannel(ch + 1, tones[ch], channels[ch]);
    std::vector<uint8_t> loop;
    for (int frame = 0; frame < kAudioFrames; ++frame) {
      for (int ch = 0; ch < 4; ++ch) {
        loop.insert(loop.end(), channels[ch][frame].begin(), channels[ch][frame].end());
      }
    }
    return loop;
  }

  std::vector<uint8_t> StoredLoop() const {
    const auto stored = generator.FlashAt(0x068000, kAudioFrames * 16 / 2);
    return {stored.begin(), stored.end()};
  }
};

TEST_F(AudioTest, SilentLoopIsWrittenAsElevenBlocksWithTheProgressSteps) {
  Session s(generator);
  s.Run(DownloadRequest::Audio(InitialAudio()));
  Lines expected = {"> F0",
                    "wait 1",
                    "> F4 06 80 00",
                    "> F6",
                    "> FD x3",
                    "wait 3",
                    "text 1027 0.000",
                    "text 1051 0.000",
                    "text 1052 0.000",
                    "text 1028 0.000",
                    "progress 25",
                    "> F4 06 80 00"};
  for (int b = 0; b < 11; ++b) {
    if (b < 10)
      expected.push_back("progress " + std::to_string(b * 10));
    expected.insert(expected.end(), {"> F8", "> [1536]", "wait 1"});
  }
  expected.insert(expected.end(),
                  {"> FF", "progress 0", "info Download Complete | QVX-5120", kReset});
  EXPECT_EQ(s.Script(s.after_start), expected);
  EXPECT_EQ(StoredLoop(), ExpectedLoop({{{0, 1}, {0, 1}, {0, 1}, {0, 1}}}));
  // The last block's padding is stored after the loop.
  const auto after = generator.FlashAt(0x068000 + kAudioFrames * 8, 240);
  EXPECT_TRUE(std::all_of(after.begin(), after.end(), [](uint8_t b) { return b == 0; }));
  EXPECT_EQ(s.downloads.state().SectorIndex, 16);
}

TEST_F(AudioTest, TonesAndAmplitudesReachTheFlashExactly) {
  Session s(generator);
  const std::array<int, 4> selections = {12, 26, 1, 0};  // 1000Hz, 16000Hz, 50Hz, Silence
  const std::array<std::string, 4> amplitudes = {"-6", "0", "-20.5dB", "-3"};
  s.Run(DownloadRequest::Audio({selections, amplitudes}));
  std::array<ChannelTone, 4> tones{};
  for (int ch = 0; ch < 4; ++ch) {
    tones[ch] = {ToneTable[selections[ch]].period, ParseAmplitude(amplitudes[ch]).gain};
  }
  EXPECT_EQ(StoredLoop(), ExpectedLoop(tones));
  EXPECT_EQ(s.recorder.texts[1027], "-6.000");
  EXPECT_EQ(s.recorder.texts[1052], "-20.500");
  // Channel 1 at 1000Hz and -6 dBFS: frame 12 holds the scaled positive peak.
  EXPECT_EQ(Hex(StoredLoop()).substr(12 * 16 * 3, 11), "10 04 02 6E");
}

TEST_F(AudioTest, RefusalOnChannelThreeStopsBeforeAnyAudioIsWritten) {
  Session s(generator);
  s.Run(DownloadRequest::Audio({{}, {"-6", "", "0.001", "-3"}}));
  EXPECT_EQ(s.Script(s.after_start),
            (Lines{"> F0", "wait 1", "> F4 06 80 00", "> F6", "> FD x3", "wait 3",
                   "text 1027 -6.000", "text 1051 0.000",
                   "box Ch 3's Amplitude Must be a negative value", "> FF", "progress 0"}));
  // Channels 3 and 4 keep the amplitudes as typed.
  EXPECT_EQ(s.recorder.texts.count(1052), 0u);
  EXPECT_EQ(s.recorder.texts.count(1028), 0u);
  EXPECT_TRUE(AllErased(generator.FlashAt(0x068000, 0x8000)));
  EXPECT_FALSE(s.recorder.wait_cursor);
  EXPECT_TRUE(s.recorder.enabled[control::kDownloadPicture]);
}

TEST_F(AudioTest, NotANumberIsRefusedLikeAPositiveAmplitude) {
  Session s(generator);
  AudioSettings audio = InitialAudio();
  audio.amplitudes[1] = "nan";
  s.Run(DownloadRequest::Audio(audio));
  EXPECT_EQ(Matching(s.Script(s.after_start), "box"),
            Lines{"box CH 2's Amplitude Must be a negative value"});
  EXPECT_EQ(Matching(s.Script(s.after_start), "> F8"), Lines{});
}

TEST_F(AudioTest, NotConnectedDoesNothingAtAll) {
  generator.SetOption("fail_open", 1);
  Session s(generator);
  s.Run(DownloadRequest::Audio(InitialAudio()));
  EXPECT_EQ(s.recorder.trace.size(), s.after_start);
}

}  // namespace
}  // namespace qvx::test
