// Round trip: content loaded with qvx5120-load into the virtual generator, its flash written to a
// file, and read back with the flash reader's decoders. Pictures come back within the 4:2:2
// conversion's error; the audio samples come back exactly as synthesised.
#include <sndfile.h>

#include <QImage>
#include <cmath>
#include <fstream>

#include "cli/flash_report.h"
#include "download/kinds/image_slots.h"
#include "flash/flash_files.h"
#include "flash/flash_image.h"
#include "tests/cli/cli_fixture.h"

namespace qvx::test {
namespace {

using flash::AudioSamples;
using flash::DecodeAudio;
using flash::DecodeImage;
using flash::FlashImage;
using flash::StoredAudioWord;
using flash::WritePng;
using flash::WriteWav;

// The largest difference of any byte, and the peak signal-to-noise ratio over all bytes.
struct ImageError {
  int max = 0;
  double psnr = 0;
};

ImageError Compare(const std::vector<BmpLine>& decoded, const std::vector<BmpLine>& source) {
  ImageError error;
  double squares = 0;
  size_t count = 0;
  for (size_t y = 0; y < source.size(); ++y) {
    for (size_t i = 0; i < source[y].size(); ++i) {
      const int d = int(decoded[y][i]) - int(source[y][i]);
      error.max = std::max(error.max, std::abs(d));
      squares += d * d;
      ++count;
    }
  }
  error.psnr = 10 * std::log10(255.0 * 255.0 / (squares / double(count)));
  return error;
}

// The largest difference of any byte in pixel pairs whose two pixels have the same colour.
int UniformPairMaxError(const std::vector<BmpLine>& decoded, const std::vector<BmpLine>& source) {
  int max = 0;
  for (size_t y = 0; y < source.size(); ++y) {
    for (size_t p = 0; p < kBmpRowSize; p += 6) {
      if (!std::equal(&source[y][p], &source[y][p + 3], &source[y][p + 3]))
        continue;
      for (size_t i = p; i < p + 6; ++i)
        max = std::max(max, std::abs(int(decoded[y][i]) - int(source[y][i])));
    }
  }
  return max;
}

// The rows of a bottom-up 24-bit BMP file, from the top.
std::vector<BmpLine> BmpRows(const std::vector<uint8_t>& bmp, int height) {
  std::vector<BmpLine> rows(static_cast<size_t>(height));
  for (int y = 0; y < height; ++y) {
    const auto* row = bmp.data() + 54 + size_t(height - 1 - y) * kBmpRowSize;
    std::copy(row, row + kBmpRowSize, rows[size_t(y)].begin());
  }
  return rows;
}

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The sample the synthesis must store for frame i, computed independently of its code: the
// offset-binary value floor(2^19 + sin(2 pi i / period) x 2^19 x gain), limited to 1..2^20-1, as a
// two's-complement number.
int32_t ExpectedSample(float period, double gain, int i) {
  if (period == 0)
    return 0;
  const double t = 2.0 * 3.1415926535 * i / period;
  const double v = std::clamp(524288 + std::sin(t) * 524288 * gain, 1.0, 1048575.0);
  return static_cast<int32_t>(v) - 524288;
}

class RoundTripTest : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    picture_bmp = MakeBmp(576);
    banner_bmp = ReadAll(QVX_SAMPLE_BANNER);
    const ToolRun run =
        Load({"picture", "1", WriteFile("rt-picture.bmp", picture_bmp), "banner", "3",
              QVX_SAMPLE_BANNER, "countdown", WriteFile("rt-banner.bmp", MakeBmp(72)), "audio",
              "1000Hz", "-6", "16000Hz", "0", "Silence", "0", "750Hz", "-40"});
    ASSERT_EQ(run.status, cli::kExitCompleted) << run.err;
    // The flash reader works on the file, as it does on the virtual generator's flash file.
    flash_path = WriteFile("rt-flash.bin", generator.Flash());
  }

  std::vector<uint8_t> picture_bmp;
  std::vector<uint8_t> banner_bmp;
  std::string flash_path;
};

TEST_F(RoundTripTest, PicturesAndBannersDecodeWithinTheConversionsError) {
  const FlashImage flash = FlashImage::Load(flash_path);
  const ImageError picture =
      Compare(DecodeImage(flash, PictureImageSlot(1)), BmpRows(picture_bmp, 576));
  const ImageError countdown =
      Compare(DecodeImage(flash, BannerImageSlot(9)), BmpRows(MakeBmp(72), 72));
  const ImageError sample =
      Compare(DecodeImage(flash, BannerImageSlot(3)), BmpRows(banner_bmp, 72));
  RecordProperty("picture_max_error", picture.max);
  RecordProperty("picture_psnr_db", std::to_string(picture.psnr));
  RecordProperty("sample_banner_max_error", sample.max);
  RecordProperty("sample_banner_psnr_db", std::to_string(sample.psnr));
  std::cout << "picture: max error " << picture.max << ", PSNR " << picture.psnr << " dB\n"
            << "countdown: max error " << countdown.max << ", PSNR " << countdown.psnr << " dB\n"
            << "sample banner: max error " << sample.max << ", PSNR " << sample.psnr << " dB\n";
  // Smooth mid-range content comes back within 3 counts per byte.
  EXPECT_EQ(picture.max, 3);
  EXPECT_NEAR(picture.psnr, 49.11, 0.01);
  EXPECT_EQ(countdown.max, 3);
  EXPECT_NEAR(countdown.psnr, 49.08, 0.01);
  // Sharp colour edges inside a pixel pair share one chroma sample, so single pixels there are far
  // off; the whole banner stays well above 35 dB.
  EXPECT_EQ(sample.max, 86);
  EXPECT_NEAR(sample.psnr, 37.66, 0.01);
  EXPECT_EQ(UniformPairMaxError(DecodeImage(flash, BannerImageSlot(3)), BmpRows(banner_bmp, 72)),
            2);
}

TEST_F(RoundTripTest, DecodedImagesAreWrittenAsPngPixelForPixel) {
  const FlashImage flash = FlashImage::Load(flash_path);
  const auto rows = DecodeImage(flash, BannerImageSlot(3));
  const std::string png = TempDir() + "/rt-banner.png";
  WritePng(rows, png);
  const QImage image(QString::fromStdString(png));
  ASSERT_EQ(image.width(), 720);
  ASSERT_EQ(image.height(), 72);
  int mismatches = 0;
  for (int y = 0; y < 72; ++y) {
    for (int x = 0; x < 720; ++x) {
      const QRgb pixel = image.pixel(x, y);
      const auto& row = rows[size_t(y)];
      mismatches += qRed(pixel) != row[size_t(x) * 3 + 2] ||
                    qGreen(pixel) != row[size_t(x) * 3 + 1] || qBlue(pixel) != row[size_t(x) * 3];
    }
  }
  EXPECT_EQ(mismatches, 0);
  // Red, green and blue in their places: the last bar is 75% blue.
  const QRgb blue = image.pixel(700, 10);
  EXPECT_LE(qRed(blue), 3);
  EXPECT_LE(qGreen(blue), 3);
  EXPECT_GE(qBlue(blue), 188);
}

TEST_F(RoundTripTest, AudioSamplesAndWordsAreExactlyTheSynthesis) {
  const FlashImage flash = FlashImage::Load(flash_path);
  const std::array<ChannelTone, 4> tones{
      {{48, std::pow(10.0, -6 / 20.0)}, {3, 1.0}, {0, 1.0}, {64, std::pow(10.0, -40 / 20.0)}}};
  std::array<ChannelWords, 4> words{};
  for (int ch = 0; ch < 4; ++ch)
    SynthesizeChannel(ch + 1, tones[size_t(ch)], words[size_t(ch)]);
  const AudioSamples samples = DecodeAudio(flash);
  int word_mismatches = 0;
  int sample_mismatches = 0;
  for (int i = 0; i < kAudioFrames; ++i) {
    for (int ch = 0; ch < 4; ++ch) {
      word_mismatches += StoredAudioWord(flash, i, ch) != words[size_t(ch)][size_t(i)];
      sample_mismatches += samples[size_t(i)][size_t(ch)] !=
                           ExpectedSample(tones[size_t(ch)].period, tones[size_t(ch)].gain, i);
    }
  }
  EXPECT_EQ(word_mismatches, 0);
  EXPECT_EQ(sample_mismatches, 0);
  // Known values: the 1000 Hz peak at -6 dBFS, the 16 kHz swing, silence, and the 750 Hz crest
  // and trough at -40 dBFS, the trough one lower since the conversion floors.
  EXPECT_EQ(samples[12][0], 0x4026E);
  EXPECT_EQ(samples[1][1], 0x6ED9E);
  EXPECT_EQ(samples[2][1], -0x6ED9F);
  EXPECT_EQ(samples[100][2], 0);
  EXPECT_EQ(samples[16][3], 5242);
  EXPECT_EQ(samples[48][3], -5243);

  const cli::SlotReport report = cli::InspectAudio(flash);
  EXPECT_TRUE(report.passed);
  EXPECT_EQ(report.detail,
            "960 frames, parity and flags as expected; ch 1 peak -6.0 dBFS, ch 2 peak -1.2 dBFS, "
            "ch 3 silent, ch 4 peak -40.0 dBFS");
}

TEST_F(RoundTripTest, WavHoldsTheLoopRepeatedWithTheSamplesExact) {
  const AudioSamples samples = DecodeAudio(FlashImage::Load(flash_path));
  const std::string wav = TempDir() + "/rt-loop.wav";
  WriteWav(samples, 3, wav);
  SF_INFO info{};
  SNDFILE* file = sf_open(wav.c_str(), SFM_READ, &info);
  ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
  EXPECT_EQ(info.channels, 4);
  EXPECT_EQ(info.samplerate, 48000);
  EXPECT_EQ(info.frames, 3 * 48000);
  EXPECT_EQ(info.format & SF_FORMAT_TYPEMASK, SF_FORMAT_WAV);
  EXPECT_EQ(info.format & SF_FORMAT_SUBMASK, SF_FORMAT_PCM_24);
  std::vector<int> read(size_t(info.frames) * 4);
  EXPECT_EQ(sf_readf_int(file, read.data(), info.frames), info.frames);
  sf_close(file);
  int mismatches = 0;
  for (size_t f = 0; f < size_t(info.frames); ++f) {
    for (size_t ch = 0; ch < 4; ++ch)
      mismatches += (read[f * 4 + ch] >> 12) != samples[f % kAudioFrames][ch];
  }
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace qvx::test
