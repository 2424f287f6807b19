// Pictures of every kind the preparation reads, each made here with Qt, and where they land: the
// exact columns and rows of letterbox bars and crop edges for the generator's pixel aspect.
#include <QBuffer>
#include <QPainter>
#include <fstream>

#include "prep/text_banner.h"
#include "tests/prep/prep_fixture.h"
#include "tests/support/test_files.h"

namespace qvx::test {
namespace {

using prep::Fit;
using prep::PrepOptions;

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kBlue{0, 0, 255};

// A picture of `width` x `height`, `left` up to column `split` and `right` from there.
QImage Halves(int width, int height, int split, QColor left, QColor right) {
  QImage image(width, height, QImage::Format_ARGB32);
  image.fill(right);
  QPainter painter(&image);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.fillRect(0, 0, split, height, left);
  return image;
}

PrepOptions Options(Fit fit, int lines = 576,
                    prep::DisplayAspect aspect = prep::DisplayAspect::k4x3) {
  PrepOptions options;
  options.fit = fit;
  options.lines = lines;
  options.aspect = aspect;
  return options;
}

// A JPEG from Qt with an EXIF block that says "turn 90 degrees clockwise to show" (orientation 6).
std::string RotatedJpeg() {
  QByteArray jpeg;
  QBuffer buffer(&jpeg);
  buffer.open(QIODevice::WriteOnly);
  EXPECT_TRUE(Halves(400, 200, 200, Qt::red, Qt::blue).save(&buffer, "JPEG", 95));
  const char exif[] =
      "\xFF\xE1\x00\x22"                  // APP1, 34 bytes
      "Exif\0\0"                          //
      "MM\x00\x2A\x00\x00\x00\x08"        // big-endian TIFF, first directory at 8
      "\x00\x01"                          // one entry:
      "\x01\x12\x00\x03\x00\x00\x00\x01"  // Orientation, SHORT, 1 value:
      "\x00\x06\x00\x00"                  // 6
      "\x00\x00\x00\x00";                 // no next directory
  jpeg.insert(2, QByteArray(exif, sizeof exif - 1));
  const std::string path = TempDir() + "/rotated.jpg";
  std::ofstream(path, std::ios::binary).write(jpeg.constData(), jpeg.size());
  return path;
}

TEST(PrepInputs, ExifRotatedJpegIsTurnedUpright) {
  const PreparedBmp out = Prepare(RotatedJpeg(), Options(Fit::kLetterbox));
  EXPECT_NE(out.prepared.source.find("JPEG 200x400, turned upright by its EXIF orientation"),
            std::string::npos)
      << out.prepared.source;
  // Upright it is 200 x 400: 576 lines tall, 288 x 54/59 = 263.6, so 264 samples wide from 228.
  EXPECT_EQ(out.At(227, 288), kBlack);
  EXPECT_TRUE(Near(out.At(228, 100), kRed, 24));
  EXPECT_TRUE(Near(out.At(491, 470), kBlue, 24));
  EXPECT_EQ(out.At(492, 288), kBlack);
  // The stored left half is now the top.
  EXPECT_TRUE(Near(out.At(360, 100), kRed, 24));
  EXPECT_TRUE(Near(out.At(360, 470), kBlue, 24));
}

TEST(PrepInputs, PngWithAlphaIsPutOverTheBackground) {
  // Left: green, fully transparent; right: white at half opacity.
  QImage image = Halves(100, 100, 50, QColor(0, 255, 0, 0), QColor(255, 255, 255, 128));
  PrepOptions options = Options(Fit::kStretch);
  options.background = prep::Colour::Of8(0, 0, 255);
  const PreparedBmp out = Prepare(SaveImage(image, "alpha.png"), options);
  EXPECT_NE(out.prepared.source.find("alpha"), std::string::npos) << out.prepared.source;
  EXPECT_EQ(out.At(100, 288), kBlue);
  // Mixed in sRGB as image viewers show it: 128/255 white over blue.
  EXPECT_TRUE(Near(out.At(600, 288), {128, 128, 255}, 1));
}

TEST(PrepInputs, SixteenBitPngKeepsItsLevels) {
  QImage image(64, 48, QImage::Format_RGBA64);
  image.fill(QColor::fromRgba64(0xFFFF, 0x8080, 0x0000));
  const std::string path = SaveImage(image, "deep.png");
  std::ifstream file(path, std::ios::binary);
  char ihdr[25];
  file.read(ihdr, sizeof ihdr);
  ASSERT_EQ(ihdr[24], 16) << "Qt did not write a 16-bit PNG";
  const PreparedBmp out = Prepare(path, Options(Fit::kStretch));
  EXPECT_NE(out.prepared.source.find("PNG 64x48, 16-bit"), std::string::npos)
      << out.prepared.source;
  EXPECT_EQ(out.At(360, 288), (Rgb{255, 128, 0}));
}

TEST(PrepInputs, SvgIsDrawnAtTheFramesSize) {
  const std::string path = TempDir() + "/card.svg";
  std::ofstream(path) << R"(<svg xmlns="http://www.w3.org/2000/svg" width="400" height="300">
  <rect width="400" height="300" fill="#ff0000"/><circle cx="200" cy="150" r="60" fill="#00ff00"/>
</svg>)";
  const PreparedBmp out = Prepare(path, Options(Fit::kLetterbox));
  // 4:3 on 720 samples of 59/54: 576 x 4/3 x 54/59 = 702.9, so 703 samples from 8.
  EXPECT_EQ(out.At(7, 288), kBlack);
  EXPECT_EQ(out.At(8, 288), kRed);
  EXPECT_EQ(out.At(710, 0), kRed);
  EXPECT_EQ(out.At(711, 575), kBlack);
  EXPECT_EQ(out.At(360, 288), (Rgb{0, 255, 0}));
}

// The frame is 720 samples of the pixel aspect wide in square units: 786.67 at 576 lines 4:3
// (59:54), 1048.89 at 16:9 (118:81), 654.55 at 480 lines 4:3 (10:11). Each case: a picture of two
// colours split at a column, the colours of the samples next to its computed edges.
TEST(PrepInputs, EdgesFallOnTheComputedSamplesAndLines) {
  struct Pixel {
    int x, y;
    Rgb colour;
  };
  const struct {
    const char* what;
    int width, height, split;  // red from column `split`, blue before it
    int lines;
    prep::DisplayAspect aspect;
    Fit fit;
    std::vector<Pixel> pixels;
    std::vector<Pixel> mixed;  // neither red nor blue: the edge inside one sample
  } cases[] = {
      // 2:1 letterboxed: 786.67 / 2 = 393.33 lines, 393 rows from 91.
      {"letterbox 2:1",
       1000,
       500,
       0,
       576,
       prep::DisplayAspect::k4x3,
       Fit::kLetterbox,
       {{360, 90, kBlack}, {360, 91, kRed}, {0, 483, kRed}, {719, 484, kBlack}},
       {}},
      // 2:1 cropped: 500 rows on 576 lines show 786.67 / 1.152 = 682.87 columns from 158.56; blue
      // ends at (400 - 158.56) x 720 / 682.87 = sample 254.6.
      {"crop 2:1",
       1000,
       500,
       400,
       576,
       prep::DisplayAspect::k4x3,
       Fit::kCrop,
       {{253, 288, kBlue}, {255, 288, kRed}, {0, 0, kBlue}, {719, 575, kRed}},
       {{254, 288, {}}}},
      // 16:9 at 16:9: 576 x 16/9 / (118/81) = 702.92 samples, 703 from 8.
      {"letterbox 16:9",
       1600,
       900,
       0,
       576,
       prep::DisplayAspect::k16x9,
       Fit::kLetterbox,
       {{7, 0, kBlack}, {8, 0, kRed}, {710, 575, kRed}, {711, 575, kBlack}},
       {}},
      // 4:3 at 480 lines: 480 x 4/3 / (10/11) = 704 samples from 8.
      {"letterbox 480",
       640,
       480,
       0,
       480,
       prep::DisplayAspect::k4x3,
       Fit::kLetterbox,
       {{7, 479, kBlack}, {8, 479, kRed}, {711, 0, kRed}, {712, 0, kBlack}},
       {}},
      {"stretch",
       1000,
       500,
       500,
       576,
       prep::DisplayAspect::k4x3,
       Fit::kStretch,
       {{0, 0, kBlue}, {358, 575, kBlue}, {361, 0, kRed}, {719, 575, kRed}},
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path =
        SaveImage(Halves(c.width, c.height, c.split, Qt::blue, Qt::red), "edges.png");
    const PreparedBmp out = Prepare(path, Options(c.fit, c.lines, c.aspect));
    EXPECT_TRUE(IsGeneratorBmp(out.prepared.bmp, c.lines));
    for (const Pixel& p : c.pixels)
      EXPECT_EQ(out.At(p.x, p.y), p.colour) << p.x << "," << p.y;
    for (const Pixel& p : c.mixed) {
      EXPECT_NE(out.At(p.x, p.y), kRed);
      EXPECT_NE(out.At(p.x, p.y), kBlue);
    }
  }
}

TEST(PrepInputs, DetailFinerThanASampleAveragesToGrey) {
  // A one-pixel checkerboard halved each way: every sample covers two black and two white
  // pixels and shows half the light, sRGB 188, where point sampling would keep black or white.
  QImage board(1440, 1152, QImage::Format_RGB32);
  for (int y = 0; y < board.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(board.scanLine(y));
    for (int x = 0; x < board.width(); ++x)
      line[x] = (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
  }
  const PreparedBmp out = Prepare(SaveImage(board, "board.png"), Options(Fit::kStretch));
  int off = 0;
  for (int y = 0; y < 576; ++y) {
    for (int x = 0; x < 720; ++x)
      off += !Near(out.At(x, y), {188, 188, 188}, 1);
  }
  EXPECT_EQ(off, 0);
}

TEST(PrepInputs, TextBannerHoldsItsText) {
  prep::TextBannerOptions options;
  options.text = "STUDIO 3";
  options.foreground = prep::Colour::Of8(255, 255, 0);
  options.background = prep::Colour::Of8(0, 0, 128);
  const prep::TextBanner banner = prep::RenderTextBanner(options);
  const PreparedBmp out{banner.prepared};
  ASSERT_TRUE(IsGeneratorBmp(out.prepared.bmp, 72));
  const prep::Placement& box = out.prepared.placement;
  int ink = 0, stray = 0;
  for (int y = 0; y < 72; ++y) {
    for (int x = 0; x < 720; ++x) {
      if (out.At(x, y) == Rgb{255, 255, 0}) {
        ++ink;
        stray += x < box.x || x >= box.x + box.width || y < box.y || y >= box.y + box.height;
      } else if (x < box.x || x >= box.x + box.width) {
        stray += out.At(x, y) != Rgb{0, 0, 128};
      }
    }
  }
  EXPECT_GT(ink, 1000) << banner.font;
  EXPECT_EQ(stray, 0);
  // Centred.
  EXPECT_LE(std::abs(box.x + box.width / 2 - 360), 2);
  EXPECT_LE(std::abs(box.y + box.height / 2 - 36), 4);
}

}  // namespace
}  // namespace qvx::test
