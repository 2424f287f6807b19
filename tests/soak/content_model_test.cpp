// The model the soak and the fuzz targets judge the flash by: pinned to the placements the
// download tests show on the wire, so that a wrong model cannot pass a wrong download.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/content_model.h"

namespace qvx::test {
namespace {

TEST(ContentModel, SlotsTileTheWholeChipWithoutOverlap) {
  std::vector<ByteRange> ranges;
  for (const Slot& slot : AllSlots())
    ranges.push_back(ErasedBytes(slot));
  std::sort(ranges.begin(), ranges.end(),
            [](const ByteRange& a, const ByteRange& b) { return a.begin < b.begin; });
  size_t next = 0;
  for (const ByteRange& range : ranges) {
    EXPECT_EQ(range.begin, next);
    next = range.end;
  }
  EXPECT_EQ(next, kFlashBytes);
  EXPECT_EQ(ranges.size(), 28u);  // 16 patterns, audio, countdown, 8 banners, 2 pictures
  // Pattern 3 is the boot block's 16 Ki-unit sector; the audio slot one main sector.
  EXPECT_EQ(ErasedBytes(Numbered(SlotKind::kPattern, 3)).begin, 0x4000u * 2);
  EXPECT_EQ(ErasedBytes(Numbered(SlotKind::kPattern, 3)).end, 0x8000u * 2);
  EXPECT_EQ(ErasedBytes(Slot::Audio()).begin, 0x68000u * 2);
}

TEST(ContentModel, RowsLandWhereTheDownloadsSendThem) {
  // The first row read goes to position 35 of the band in the second field, the last to
  // position 0 of the first field.
  EXPECT_EQ(RowAddress(Numbered(SlotKind::kBanner, 1), 0), 0x88000u + 25200);
  EXPECT_EQ(RowAddress(Numbered(SlotKind::kBanner, 1), 1), 0x80000u + 25200);
  EXPECT_EQ(RowAddress(Numbered(SlotKind::kBanner, 1), 71), 0x80000u);
  EXPECT_EQ(RowAddress(Slot::Countdown(), 0), 0x78000u + 25200);
  EXPECT_EQ(RowAddress(Numbered(SlotKind::kBanner, 8), 70), 0xF8000u);
  EXPECT_EQ(RowAddress(Numbered(SlotKind::kPicture, 1), 0), 1492160u + 25200);
  EXPECT_EQ(RowAddress(Numbered(SlotKind::kPicture, 2), 0), 2016448u + 25200);
  EXPECT_EQ(RowAddress(Numbered(SlotKind::kPicture, 2), 72), 2016448u - 25920 + 25200);
  EXPECT_EQ(RowAddress(Numbered(SlotKind::kPicture, 2), 575), 0x180000u);
}

TEST(ContentModel, ReadsPastTheEndRepeatTheLastRowAndShortReadsKeepItsTail) {
  std::vector<uint8_t> bytes(54 + 2160 + 100, 0);
  std::fill(bytes.begin() + 54, bytes.begin() + 54 + 2160, 7);
  std::fill(bytes.begin() + 54 + 2160, bytes.end(), 9);
  const FileImage file = FileImage::Whole(bytes);
  RowReader reader(file);
  EXPECT_EQ(reader.Next()[2159], 7);
  const BmpLine second = reader.Next();
  EXPECT_EQ(second[99], 9);
  EXPECT_EQ(second[100], 7);
  EXPECT_EQ(reader.Next(), second);
}

TEST(ContentModel, HeaderRulesAndTheFileLength) {
  std::vector<uint8_t> header(54, 0);
  header[0] = 'B';
  header[1] = 'M';
  auto put = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
      header[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  put(2, 155574);
  put(18, 720);
  put(22, 72);
  put(28, 24);
  FileImage banner{header, 155574};
  EXPECT_TRUE(ImageAcceptable(banner, false));
  EXPECT_FALSE(ImageAcceptable(banner, true));
  banner.size = 155573;
  EXPECT_FALSE(ImageAcceptable(banner, false));
  put(2, 1244214);
  put(22, 480);
  EXPECT_TRUE(ImageAcceptable({header, 1244214}, true));
  put(18, 720 + 65536);  // only the low 16 bits of the width count
  EXPECT_TRUE(ImageAcceptable({header, 1244214}, true));
  put(30, 1);
  EXPECT_FALSE(ImageAcceptable({header, 1244214}, true));
}

}  // namespace
}  // namespace qvx::test
