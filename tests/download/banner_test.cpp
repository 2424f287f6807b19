// The banner and countdown downloads, end to end on the virtual generator.
#include "tests/download/image_check.h"
#include "tests/support/download_fixture.h"

namespace qvx::test {
namespace {

class BannerTest : public DownloadTest {
 protected:
  std::string banner_file = WriteFile("banner.bmp", MakeBmp(72));
};

// Every field line of a banner holds its image line: line n of the first field is line 2n,
// line n of the second field line 2n + 1.
void ExpectBannerStored(const GeneratorControl& generator, uint32_t first, uint32_t second) {
  for (int n = 0; n < 36; ++n) {
    EXPECT_TRUE(LineHolds(generator, first, n, 2 * n));
    EXPECT_TRUE(LineHolds(generator, second, n, 2 * n + 1));
  }
}

TEST_F(BannerTest, BannerEightErasesItsSectorsAndStoresBothFields) {
  Session s(generator);
  s.Run(DownloadRequest::Banner(7), banner_file);

  const Lines script = s.Script(s.after_start);
  Lines head(script.begin(), script.begin() + 16);
  EXPECT_EQ(head, (Lines{"> F0", "wait 1", "title Erasing Banner 8", "progress 30", "> F4 0F 00 00",
                         "> F6", "> FD x3", "wait 3", "progress 60", "> F4 0F 80 00", "> F6",
                         "> FD x3", "wait 3", "wait 5", "title Downloading Banner 8",
                         "file Banner files(*.bmp) *.bmp"}));
  EXPECT_EQ(Lines(script.end() - 7, script.end()),
            (Lines{"> [1536]", "progress 0", "> FF", "title Finished Banner Download", "wait 2",
                   "info Download Complete | QVX-5120", kReset}));

  Lines progress;
  for (int k = 0; k < 36; ++k)
    progress.push_back("progress " + std::to_string(k * 100 / 36));
  progress.push_back("progress 0");
  Lines shown = Matching(script, "progress");
  EXPECT_EQ(Lines(shown.begin() + 2, shown.end()), progress);
  EXPECT_EQ(Matching(script, "> F8").size(), 72u);
  EXPECT_EQ(Matching(script, "> [1536]").size(), 72u);
  ExpectBannerStored(generator, 0xF0000, 0xF8000);
}

TEST_F(BannerTest, BannerOneWritesFromLine35OfTheSecondFieldDownToTheFirstFieldStart) {
  Session s(generator);
  s.Run(DownloadRequest::Banner(0), banner_file);
  const Lines addresses = Matching(s.Script(s.after_start), "> F4");
  ASSERT_EQ(addresses.size(), 2u + 72u);
  EXPECT_EQ(addresses[0], "> F4 08 00 00");  // sector 19
  EXPECT_EQ(addresses[1], "> F4 08 80 00");  // sector 20
  EXPECT_EQ(addresses[2], "> F4 08 E2 70");  // 0x88000 + 25200
  EXPECT_EQ(addresses[3], "> F4 08 62 70");  // 0x80000 + 25200
  EXPECT_EQ(addresses.back(), "> F4 08 00 00");
  ExpectBannerStored(generator, 0x80000, 0x88000);
}

TEST_F(BannerTest, EachLineCostsOneAddressPauseAndTwoBlockPauses) {
  Session s(generator);
  s.Run(DownloadRequest::Banner(0), banner_file);
  const Lines folded = s.Folded(s.after_start);
  const auto first = std::find(folded.begin(), folded.end(), "FT_Write F4 08 E2 70 -> 0 4");
  ASSERT_NE(first, folded.end());
  EXPECT_EQ(Lines(first, first + 4), (Lines{"FT_Write F4 08 E2 70 -> 0 4", "pause x1",
                                            "cursor wait", "FT_Write F8 -> 0 1"}));
  EXPECT_TRUE((first + 4)->ends_with(" -> 0 1536"));
  EXPECT_EQ(*(first + 5), "pause x2");
  EXPECT_EQ(*(first + 6), "FT_Write F4 08 62 70 -> 0 4");
}

TEST_F(BannerTest, CountdownUsesBannerNineWhateverTheListShows) {
  Session s(generator);
  s.Run(DownloadRequest::Countdown(), banner_file);
  const Lines script = s.Script(s.after_start);
  EXPECT_EQ(Matching(script, "title"),
            (Lines{"title Erasing Banner 9", "title Downloading Banner 9",
                   "title Finished Banner Download", kReset}));
  const Lines addresses = Matching(script, "> F4");
  EXPECT_EQ(addresses[0], "> F4 07 00 00");  // sector 17
  EXPECT_EQ(addresses[1], "> F4 07 80 00");  // sector 18
  EXPECT_EQ(addresses[2], "> F4 07 E2 70");  // 0x78000 + 25200
  ExpectBannerStored(generator, 0x70000, 0x78000);
  EXPECT_EQ(s.downloads.state().BannerNumber, 9);
}

TEST_F(BannerTest, CountdownBetweenTwoBannersDoesNotChangeTheBannerWritten) {
  Session s(generator);
  s.recorder.file_answers = {banner_file, banner_file, banner_file};
  s.Run(DownloadRequest::Banner(3));
  s.Run(DownloadRequest::Countdown());
  const size_t from = s.recorder.trace.size();
  s.Run(DownloadRequest::Banner(3));
  const Lines script = s.Script(from);
  EXPECT_EQ(Matching(script, "title Erasing"), Lines{"title Erasing Banner 4"});
  EXPECT_EQ(Matching(script, "> F4")[0], "> F4 0B 00 00");  // sector 25
  ExpectBannerStored(generator, 0xB0000, 0xB8000);
}

TEST_F(BannerTest, PictureSizedFileIsRefusedAndTheBannerStaysErased) {
  Session s(generator);
  s.Run(DownloadRequest::Banner(0), banner_file);
  const size_t from = s.recorder.trace.size();
  s.Run(DownloadRequest::Banner(0), WriteFile("picture.bmp", MakeBmp(576)));
  const Lines script = s.Script(from);
  EXPECT_EQ(Matching(script, "box"), Lines{"box Incorrect Banner file format"});
  EXPECT_EQ(Matching(script, "> F8"), Lines{});
  EXPECT_EQ(Lines(script.end() - 7, script.end()),
            (Lines{"box Incorrect Banner file format", "progress 0", "> FF",
                   "title Finished Banner Download", "wait 2", "info Download Complete | QVX-5120",
                   kReset}));
  EXPECT_TRUE(AllErased(generator.FlashAt(0x80000, 0x10000)));
}

TEST_F(BannerTest, NotConnectedShowsOnlyTheClosingSteps) {
  generator.SetOption("fail_open", 1);
  Session s(generator);
  s.Run(DownloadRequest::Banner(0));
  EXPECT_EQ(s.Script(s.after_start), (Lines{"title Finished Banner Download", "wait 2",
                                            "info Download Complete | QVX-5120", kReset}));
  EXPECT_TRUE(generator.Wire().empty());
}

}  // namespace
}  // namespace qvx::test
