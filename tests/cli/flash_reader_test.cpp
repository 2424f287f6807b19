// The flash reader on images made to order: where it finds each slot's lines, words and bytes, the
// checks that tell content from damage, and its commands' results.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "cli/flash_report.h"
#include "cli/flash_tool.h"
#include "device/flash_map.h"
#include "download/kinds/image_slots.h"
#include "flash/flash_image.h"
#include "tests/support/session.h"

namespace qvx::cli {
namespace {

using flash::DecodeImage;
using flash::FlashImage;
using flash::ImageSlot;
using flash::kFlashImageBytes;
using flash::SampleOf;
using flash::StoredLine;

using test::TempDir;
using test::WriteFile;

class FlashReaderTest : public ::testing::Test {
 protected:
  std::vector<uint8_t> bytes = std::vector<uint8_t>(kFlashImageBytes, 0xFF);

  void Put(uint32_t address, std::span<const uint8_t> data) {
    std::copy(data.begin(), data.end(), bytes.begin() + std::ptrdiff_t{address} * 2);
  }
  // Every line of the image slot holds `value` in all 1440 bytes.
  void FillImage(const ImageSlot& slot, uint8_t value) {
    const std::vector<uint8_t> line(kEncodedLineSize, value);
    for (int n = 0; n < slot.height / 2; ++n) {
      Put(slot.first_field + uint32_t(n) * 720, line);
      Put(slot.second_field + uint32_t(n) * 720, line);
    }
  }
  void PutLoop(const std::array<ChannelWords, 4>& channels) {
    for (int i = 0; i < kAudioFrames; ++i) {
      for (int ch = 0; ch < 4; ++ch)
        Put(AudioSlot().first_address + uint32_t(i * 8 + ch * 2), channels[size_t(ch)][size_t(i)]);
    }
  }
  static std::array<ChannelWords, 4> Loop() {
    std::array<ChannelWords, 4> channels{};
    for (int ch = 0; ch < 4; ++ch)
      SynthesizeChannel(ch + 1, {48, 0.5}, channels[size_t(ch)]);
    return channels;
  }
  FlashImage Image() const { return FlashImage(bytes); }

  int Tool(const std::vector<std::string>& args) {
    std::ostringstream o, e;
    const int status = RunFlashTool(args, o, e);
    out = o.str();
    err = e.str();
    return status;
  }
  std::string out, err;
};

TEST_F(FlashReaderTest, ErasedFlashReportsEverySlotErased) {
  const auto reports = InspectFlash(Image());
  ASSERT_EQ(reports.size(), 2u + 9u + 16u + 1u);
  for (const auto& report : reports) {
    EXPECT_TRUE(report.erased) << report.slot;
    EXPECT_TRUE(report.passed) << report.slot;
  }
  EXPECT_EQ(reports[10].slot, "Countdown");
  EXPECT_EQ(reports[11].slot, "Pattern 0");
  const std::string table = FormatReport(reports);
  EXPECT_TRUE(table.starts_with("Slot        Holds    Checks\nPicture 1   erased\n")) << table;
  EXPECT_TRUE(table.ends_with("Pattern 15  erased\nAudio       erased\n")) << table;
}

TEST_F(FlashReaderTest, ImageLinesComeFromAlternateFields) {
  const ImageSlot banner = BannerImageSlot(2);
  EXPECT_EQ(banner.first_field, 0x90000u);
  EXPECT_EQ(banner.second_field, 0x98000u);
  EXPECT_EQ(banner.height, 72);
  const ImageSlot picture = PictureImageSlot(2);
  EXPECT_EQ(picture.first_field, 0x180000u);
  EXPECT_EQ(picture.second_field, 0x1C0000u);
  EXPECT_EQ(picture.height, 576);
  EXPECT_EQ(BannerImageSlot(9).name, "Countdown");
  EXPECT_EQ(BannerImageSlot(9).first_field, 0x70000u);

  // A dark red row as image line 4 (first field line 2), a dark blue row as image line 5 (second
  // field line 2), grey everywhere else.
  auto encoded = [](int b, int g, int r) {
    BmpLine row{};
    for (size_t x = 0; x < 720; ++x) {
      row[3 * x] = uint8_t(b);
      row[3 * x + 1] = uint8_t(g);
      row[3 * x + 2] = uint8_t(r);
    }
    LineBuffer line{};
    EncodeLine(row, line);
    return std::vector<uint8_t>(line.begin(), line.begin() + 1440);
  };
  FillImage(banner, 128);
  Put(0x90000 + 2 * 720, encoded(0, 0, 200));
  Put(0x98000 + 2 * 720, encoded(200, 0, 0));
  const FlashImage flash = Image();
  EXPECT_EQ(StoredLine(flash, banner, 4)[2], encoded(0, 0, 200)[2]);
  EXPECT_EQ(StoredLine(flash, banner, 5)[0], encoded(200, 0, 0)[0]);
  EXPECT_EQ(StoredLine(flash, banner, 3)[0], 128);
  const auto rows = DecodeImage(flash, banner);
  ASSERT_EQ(rows.size(), 72u);
  auto near = [](const BmpLine& row, int b, int g, int r) {
    return std::abs(row[717 * 3] - b) <= 3 && std::abs(row[717 * 3 + 1] - g) <= 3 &&
           std::abs(row[717 * 3 + 2] - r) <= 3;
  };
  EXPECT_TRUE(near(rows[4], 0, 0, 200));
  EXPECT_TRUE(near(rows[5], 200, 0, 0));
  EXPECT_TRUE(near(rows[3], 128, 128, 128));
  EXPECT_TRUE(near(rows[6], 128, 128, 128));
}

TEST_F(FlashReaderTest, VideoChecksCountBytesOutsideTheRangeAndErasedLines) {
  FillImage(BannerImageSlot(1), 16);
  FillImage(BannerImageSlot(2), 235);
  bytes[size_t{0x98000} * 2 + 35 * 1440 + 7] = 236;  // banner 2, image line 71
  bytes[size_t{0x98000} * 2 + 3] = 15;
  FillImage(PictureImageSlot(1), 100);
  Put(0x100000, std::vector<uint8_t>(1440 * 2, 0xFF));  // picture 1: first field lines 0 and 1
  const FlashImage flash = Image();
  EXPECT_EQ(InspectImage(flash, BannerImageSlot(1)).detail, "72 lines, every byte within 16..235");
  EXPECT_TRUE(InspectImage(flash, BannerImageSlot(1)).passed);
  const SlotReport banner2 = InspectImage(flash, BannerImageSlot(2));
  EXPECT_FALSE(banner2.erased);
  EXPECT_FALSE(banner2.passed);
  EXPECT_EQ(banner2.detail, "72 lines, 2 bytes outside 16..235");
  const SlotReport picture = InspectImage(flash, PictureImageSlot(1));
  EXPECT_FALSE(picture.passed);
  EXPECT_EQ(picture.detail, "576 lines, 2 of them erased");
  EXPECT_TRUE(FormatReport(InspectFlash(flash))
                  .find("Banner 2    content  FAILED: 72 lines, 2 bytes outside 16..235\n") !=
              std::string::npos);
}

TEST_F(FlashReaderTest, AudioWordsAreCheckedForParityAndFlags) {
  const auto loop = Loop();
  PutLoop(loop);
  EXPECT_EQ(InspectAudio(Image()).detail,
            "960 frames, parity and flags as expected; ch 1 peak -6.0 dBFS, ch 2 peak -6.0 dBFS, "
            "ch 3 peak -6.0 dBFS, ch 4 peak -6.0 dBFS");

  auto damaged = loop;
  damaged[0][5][3] ^= 0x01;           // a sample bit: odd parity
  damaged[1][7][0] ^= 0x08 | 0x10;    // the status bit, with the parity mended: wrong flags only
  damaged[2][192][0] ^= 0x01 | 0x10;  // the block start of frame 192
  damaged[3][9][0] ^= 0x20 | 0x10;    // channel 4's word numbered as channel 3
  damaged[3][10][1] ^= 0x10 | 0x20;   // a spare bit above the sample, parity kept even
  PutLoop(damaged);
  const SlotReport report = InspectAudio(Image());
  EXPECT_FALSE(report.passed);
  EXPECT_TRUE(report.detail.starts_with(
      "960 frames, 1 word with odd parity, 4 words with unexpected flags; "))
      << report.detail;
}

TEST_F(FlashReaderTest, SamplesAreTwentyBitTwosComplement) {
  EXPECT_EQ(SampleOf({0x10, 0x07, 0xFF, 0xFF}), 524287);
  EXPECT_EQ(SampleOf({0x00, 0x08, 0x00, 0x01}), -524287);
  EXPECT_EQ(SampleOf({0x00, 0x0F, 0xFF, 0xFF}), -1);
  EXPECT_EQ(SampleOf({0x09, 0x00, 0x00, 0x00}), 0);
  EXPECT_EQ(SampleOf({0x10, 0x04, 0x02, 0x6E}), 0x4026E);
  EXPECT_TRUE(AudioWordParityEven({0x09, 0x00, 0x00, 0x00}));
  EXPECT_FALSE(AudioWordParityEven({0x08, 0x00, 0x00, 0x00}));
  EXPECT_TRUE(AudioWordFlagsExpected({0x69, 0, 0, 0}, 0, 3));
  EXPECT_TRUE(AudioWordFlagsExpected({0x79, 0, 0, 0}, 384, 3));  // parity bit not a flag
  EXPECT_FALSE(AudioWordFlagsExpected({0x69, 0, 0, 0}, 1, 3));
}

TEST_F(FlashReaderTest, ToolWritesPatternBytesAndRefusesErasedSlots) {
  std::vector<uint8_t> pattern(kPatternSize);
  for (size_t i = 0; i < pattern.size(); ++i)
    pattern[i] = uint8_t(i % 251);
  Put(SectorAddress(7), pattern);
  const std::string image = WriteFile("reader-flash.bin", bytes);
  const std::string out_file = TempDir() + "/reader-pattern.tst";
  EXPECT_EQ(Tool({"--image", image, "pattern", "7", out_file}), kFlashDone);
  EXPECT_EQ(out, "Pattern 7 written to " + out_file + "\n");
  std::ifstream in(out_file, std::ios::binary);
  EXPECT_EQ(std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {}), pattern);

  EXPECT_EQ(Tool({"--image", image, "banner", "4", TempDir() + "/x.png"}), kFlashSlotProblem);
  EXPECT_EQ(err, "qvx5120-flash: Banner 4 is erased; nothing written\n");
  EXPECT_EQ(Tool({"--image", image, "audio", TempDir() + "/x.wav"}), kFlashSlotProblem);
  EXPECT_EQ(err, "qvx5120-flash: Audio is erased; nothing written\n");
  EXPECT_EQ(Tool({"--image", image, "info"}), kFlashDone);
  EXPECT_NE(out.find("Pattern 7   content  ok: 2880 bytes\n"), std::string::npos);

  bytes[size_t{0x80000} * 2] = 0;  // banner 1 holds a byte below 16
  EXPECT_EQ(Tool({"--image", WriteFile("reader-flash.bin", bytes), "info"}), kFlashSlotProblem);
}

TEST_F(FlashReaderTest, ToolRefusesBadCommandLinesAndImages) {
  const std::string image = WriteFile("reader-flash.bin", bytes);
  const struct {
    std::vector<std::string> args;
    int status;
    std::string err;
  } cases[] = {
      {{}, kFlashUsage, "no command given (see --help)"},
      {{"--image"}, kFlashUsage, "--image needs a file"},
      {{"--image", image, "show"}, kFlashUsage, "\"show\" is not a command (see --help)"},
      {{"--image", image, "banner", "10", "b.png"},
       kFlashUsage,
       "banner \"10\" is not one of 1 to 9"},
      {{"--image", image, "picture", "0", "p.png"},
       kFlashUsage,
       "picture \"0\" is not one of 1 to 2"},
      {{"--image", image, "pattern", "16", "p.tst"},
       kFlashUsage,
       "pattern \"16\" is not one of 0 to 15"},
      {{"--image", image, "audio"}, kFlashUsage, "audio takes 1 operand (see --help)"},
      {{"--image", image, "info", "x"}, kFlashUsage, "info takes 0 operands (see --help)"},
      {{"--image", TempDir() + "/absent.bin", "info"},
       kFlashFileError,
       TempDir() + "/absent.bin: cannot be opened for reading"},
      {{"--image", WriteFile("reader-short.bin", std::vector<uint8_t>(1000)), "info"},
       kFlashFileError,
       TempDir() + "/reader-short.bin: not a flash image (1000 bytes, a flash image has 4194304)"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Tool(c.args), c.status) << c.err;
    EXPECT_EQ(err, "qvx5120-flash: " + c.err + "\n");
  }
  bytes.push_back(0);
  EXPECT_EQ(Tool({"--image", WriteFile("reader-long.bin", bytes), "info"}), kFlashFileError);
  EXPECT_EQ(err,
            "qvx5120-flash: " + TempDir() +
                "/reader-long.bin: not a flash image (more bytes, a flash image has 4194304)\n");
  EXPECT_EQ(Tool({"--help"}), kFlashDone);
  EXPECT_TRUE(out.starts_with("Usage: qvx5120-flash [--image FILE] COMMAND\n"));
}

}  // namespace
}  // namespace qvx::cli
