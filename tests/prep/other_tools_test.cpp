// BMP files as ImageMagick, ffmpeg and Pillow write them (samples/, made by make-samples.sh): the
// loader's check refuses each with its reasons; prepared, each is the generator's file, right way
// up with its colours, and the loader stores it.
#include <fstream>

#include "prep/bmp_explain.h"
#include "tests/cli/cli_fixture.h"
#include "tests/prep/prep_fixture.h"
#include "tests/support/test_files.h"

namespace qvx::test {
namespace {

const std::string kWidth = "width 48 (the generator takes 720)";
const std::string kHeight = "height 32 (a picture is 576 or 480 lines)";
const std::string kV5 =
    "a 124-byte BITMAPV5 header (the generator takes the 40-byte header, declared size 1244214)";
std::string DataAt(int byte) {
  return "pixel data at byte " + std::to_string(byte) +
         " (the generator takes it at byte 54, declared size 1244214)";
}
std::string Bits(int bits) {
  return std::to_string(bits) + " bits per pixel (the generator takes 24)";
}

constexpr Rgb kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kWhite{255, 255, 255},
    kBlack{0, 0, 0};

struct Sample {
  const char* file;
  std::vector<std::string> reasons;  // as a picture
  Rgb bottom_right;                  // white, or the background where it is transparent
};

const std::vector<Sample>& Samples() {
  static const std::vector<Sample> samples = {
      {"imagemagick-default.bmp", {kV5, kWidth, kHeight}, kWhite},
      {"imagemagick-alpha.bmp",
       {kV5, kWidth, kHeight, Bits(32),
        "BI_BITFIELDS compression (the generator takes uncompressed pixels)"},
       kBlack},
      {"imagemagick-bmp3.bmp", {kWidth, kHeight}, kWhite},
      {"imagemagick-palette.bmp", {DataAt(118), kWidth, kHeight, Bits(4)}, kWhite},
      {"imagemagick-rle8.bmp",
       {DataAt(1078), kWidth, kHeight, Bits(8),
        "RLE8 compression (the generator takes uncompressed pixels)"},
       kWhite},
      {"ffmpeg-bgr24.bmp", {kWidth, kHeight}, kWhite},
      {"ffmpeg-bgra.bmp", {kWidth, kHeight, Bits(32)}, kWhite},
      {"ffmpeg-rgb555le.bmp", {kWidth, kHeight, Bits(16)}, kWhite},
      {"ffmpeg-pal8.bmp", {DataAt(1078), kWidth, kHeight, Bits(8)}, kWhite},
      {"pillow-rgb.bmp", {kWidth, kHeight}, kWhite},
      {"pillow-palette.bmp", {DataAt(1078), kWidth, kHeight, Bits(8)}, kWhite},
      // 32 bits without colour masks: the fourth byte is unused, so nothing is transparent.
      {"pillow-rgba.bmp", {kWidth, kHeight, Bits(32)}, kWhite},
  };
  return samples;
}

std::string SamplePath(const Sample& s) {
  // Appended piece by piece: g++ 12 takes a chain of + on a temporary for an overflow.
  std::string path = QVX_PREP_SAMPLES;
  path += '/';
  path += s.file;
  return path;
}

class PrepOtherToolsTest : public CliTest {};

TEST_F(PrepOtherToolsTest, EachIsRefusedWithItsReasonsThenPreparedAndLoaded) {
  Lines load;
  for (const Sample& s : Samples()) {
    SCOPED_TRACE(s.file);
    std::ifstream in(SamplePath(s), std::ios::binary);
    qvx::BmpHeader header{};
    in.read(reinterpret_cast<char*>(header.data()), header.size());
    in.seekg(0, std::ios::end);
    EXPECT_EQ(prep::BmpRefusalReasons(header, uint64_t(in.tellg()), BmpKind::kPicture), s.reasons);

    // 48 x 32 letterboxed across 720 samples (786.67 square units): 32 x 786.67 / 48 = 524.4,
    // so 524 rows from 26; the quarters' middles at columns 180 and 540, rows 157 and 419.
    const PreparedBmp picture = Prepare(SamplePath(s), {});
    EXPECT_TRUE(Near(picture.At(180, 157), kRed, 8));
    EXPECT_TRUE(Near(picture.At(540, 157), kGreen, 8));
    EXPECT_TRUE(Near(picture.At(180, 419), kBlue, 8));
    EXPECT_TRUE(Near(picture.At(540, 419), s.bottom_right, 8));
    EXPECT_EQ(picture.At(360, 25), kBlack);
    EXPECT_NE(picture.At(360, 26), kBlack);

    prep::PrepOptions banner;
    banner.kind = BmpKind::kBanner;
    load.insert(load.end(), {"banner", "1",
                             WriteFile(std::string(s.file) + ".banner.bmp",
                                       Prepare(SamplePath(s), banner).prepared.bmp)});
  }
  const ToolRun run = Load(load);
  EXPECT_EQ(run.status, cli::kExitCompleted) << run.err;
  EXPECT_NE(run.out.find("All 12 operations completed."), std::string::npos) << run.out;
}

}  // namespace
}  // namespace qvx::test
