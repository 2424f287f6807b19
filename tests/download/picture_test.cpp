// The picture download, end to end on the virtual generator.
#include "tests/download/image_check.h"
#include "tests/support/download_fixture.h"

namespace qvx::test {
namespace {

class PictureTest : public DownloadTest {};

TEST_F(PictureTest, Picture1ErasesSixteenSectorsAndStoresAllLinesInTheirFields) {
  Session s(generator);
  s.Run(DownloadRequest::Picture(0), WriteFile("picture.bmp", MakeBmp(576)));
  const Lines script = s.Script(s.after_start);

  Lines erase_addresses;
  Lines expected_progress;
  for (int i = 0; i < 16; ++i) {
    erase_addresses.push_back("> F4 1" + std::to_string(i / 2) + (i % 2 ? " 80 00" : " 00 00"));
    expected_progress.push_back("progress " + std::to_string((i + 1) * 6));
  }
  const Lines addresses = Matching(script, "> F4");
  ASSERT_EQ(addresses.size(), 16u + 576u);
  EXPECT_EQ(Lines(addresses.begin(), addresses.begin() + 16), erase_addresses);
  EXPECT_EQ(addresses[16],
            "> F4 17 27 30");  // second field band 0, line 287: 0x140000 + 7 x 25920 + 25200
  EXPECT_EQ(addresses[17], "> F4 13 27 30");  // first field, the same line
  EXPECT_EQ(addresses.back(), "> F4 10 00 00");

  for (int band : {0, 12, 25, 37, 50, 62, 75, 87, 0}) {
    expected_progress.push_back("progress " + std::to_string(band));
  }
  EXPECT_EQ(Matching(script, "progress"), expected_progress);
  Lines waits = {"wait 1"};
  waits.insert(waits.end(), 16, "wait 3");
  waits.push_back("wait 5");
  EXPECT_EQ(Matching(script, "wait"), waits);
  EXPECT_EQ(Matching(script, "title"),
            (Lines{"title Erasing Picture 1", "title Downloading Picture 1",
                   "title Finished Picture Download", kReset}));
  EXPECT_EQ(Matching(script, "> F8").size(), 576u);
  EXPECT_EQ(Matching(script, "> [1536]").size(), 576u);
  EXPECT_EQ(Lines(script.end() - 4, script.end()),
            (Lines{"> FF", "title Finished Picture Download", "info Download Complete | QVX-5120",
                   kReset}));

  for (int n = 0; n < 288; ++n) {
    ASSERT_TRUE(LineHolds(generator, 0x100000, n, 2 * n));
    ASSERT_TRUE(LineHolds(generator, 0x140000, n, 2 * n + 1));
  }
}

TEST_F(PictureTest, EachPictureLineCostsFivePauses) {
  Session s(generator);
  s.Run(DownloadRequest::Picture(0), WriteFile("picture.bmp", MakeBmp(576)));
  const Lines& trace = s.recorder.trace;
  const auto first_line = std::find(trace.begin(), trace.end(), "FT_Write F4 17 27 30 -> 0 4");
  ASSERT_NE(first_line, trace.end());
  const auto end_load = std::find(first_line, trace.end(), "FT_Write FF -> 0 1");
  EXPECT_EQ(std::count(first_line, end_load, "pause"), 576 * 5);
  // One pause before the first band, then the band's progress.
  EXPECT_EQ(Lines(first_line - 2, first_line), (Lines{"pause", "progress 0"}));
}

TEST_F(PictureTest, Picture2GoesToItsOwnSectorsAndFields) {
  Session s(generator);
  s.Run(DownloadRequest::Picture(1), WriteFile("picture.bmp", MakeBmp(576)));
  const Lines addresses = Matching(s.Script(s.after_start), "> F4");
  EXPECT_EQ(addresses[0], "> F4 18 00 00");
  EXPECT_EQ(addresses[15], "> F4 1F 80 00");
  EXPECT_EQ(addresses[16], "> F4 1F 27 30");  // 2016448 + 25200
  for (int n = 0; n < 288; n += 7) {
    EXPECT_TRUE(LineHolds(generator, 0x180000, n, 2 * n));
    EXPECT_TRUE(LineHolds(generator, 0x1C0000, n, 2 * n + 1));
  }
  const auto picture1 = generator.FlashAt(0x100000, 0x80000);
  const auto written =
      std::find_if(picture1.begin(), picture1.end(), [](uint8_t b) { return b != 0xFF; });
  EXPECT_EQ(written - picture1.begin(), picture1.end() - picture1.begin());
}

TEST_F(PictureTest, Picture480FillsTheTopLinesWithItsTopRow) {
  Session s(generator);
  s.Run(DownloadRequest::Picture(0), WriteFile("ntsc.bmp", MakeBmp(480)));
  EXPECT_EQ(Matching(s.Script(s.after_start), "> F8").size(), 576u);
  EXPECT_EQ(Matching(s.Script(s.after_start), "box"), Lines{});
  for (int line = 0; line < 480; ++line) {
    const uint32_t field = line % 2 == 0 ? 0x100000 : 0x140000;
    ASSERT_TRUE(LineHolds(generator, field, 48 + line / 2, line));
  }
  for (int n = 0; n < 48; ++n) {
    ASSERT_TRUE(LineHolds(generator, 0x100000, n, 0));
    ASSERT_TRUE(LineHolds(generator, 0x140000, n, 0));
  }
}

TEST_F(PictureTest, CancelledDialogLeavesTheSlotErasedAndTheBarAtTheLastErase) {
  Session s(generator);
  s.Run(DownloadRequest::Picture(1), WriteFile("picture.bmp", MakeBmp(576)));
  ASSERT_FALSE(AllErased(generator.FlashAt(0x180000, 0x80000)));
  const size_t from = s.recorder.trace.size();
  s.Run(DownloadRequest::Picture(1));
  const Lines script = s.Script(from);
  EXPECT_EQ(Matching(script, "progress").back(), "progress 96");
  EXPECT_EQ(
      Lines(script.end() - 6, script.end()),
      (Lines{"title Downloading Picture 2", "file Banner files(*.bmp) *.bmp", "> FF",
             "title Finished Picture Download", "info Download Complete | QVX-5120", kReset}));
  EXPECT_TRUE(AllErased(generator.FlashAt(0x180000, 0x80000)));
  EXPECT_EQ(s.downloads.state().SectorIndex, 67);
}

TEST_F(PictureTest, BannerSizedFileIsRefused) {
  Session s(generator);
  s.Run(DownloadRequest::Picture(0), WriteFile("banner.bmp", MakeBmp(72)));
  const Lines script = s.Script(s.after_start);
  EXPECT_EQ(Matching(script, "> F8"), Lines{});
  EXPECT_EQ(
      Lines(script.end() - 6, script.end()),
      (Lines{"box Incorrect Picture file format", "progress 0", "> FF",
             "title Finished Picture Download", "info Download Complete | QVX-5120", kReset}));
}

TEST_F(PictureTest, NotConnectedShowsOnlyTheClosingSteps) {
  generator.SetOption("fail_open", 1);
  Session s(generator);
  s.Run(DownloadRequest::Picture(0));
  EXPECT_EQ(s.Script(s.after_start), (Lines{"title Finished Picture Download",
                                            "info Download Complete | QVX-5120", kReset}));
  EXPECT_EQ(Matching(s.Folded(s.after_start), "repaint"), Lines{"repaint"});
}

}  // namespace
}  // namespace qvx::test
