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
  options.background = Qt::blue;
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

TEST(PrepInputs, LetterboxAndCropEdgesFallOnTheComputedLines) {
  // The frame is 720 x 59/54 = 786.67 square units wide. A 2:1 picture letterboxed is 393.33
  // lines tall: 393 rows from row 91.
  const std::string red = SaveImage(Halves(1000, 500, 0, Qt::red, Qt::red), "wide.png");
  const PreparedBmp box = Prepare(red, Options(Fit::kLetterbox));
  EXPECT_EQ(box.At(360, 90), kBlack);
  EXPECT_EQ(box.At(360, 91), kRed);
  EXPECT_EQ(box.At(0, 483), kRed);
  EXPECT_EQ(box.At(719, 484), kBlack);
  EXPECT_EQ(prep::DescribePlacement(box.prepared.placement, Fit::kLetterbox),
            "letterbox: source 1000x500 on columns 0..719, rows 91..483");

  // Cropped, the 500 rows fill 576 lines: 682.87 of the 1000 columns show, from 158.56. Blue
  // ends at source column 400, at sample (400 - 158.56) x 720 / 682.87 = 254.6.
  const std::string split = SaveImage(Halves(1000, 500, 400, Qt::blue, Qt::red), "split.png");
  const PreparedBmp crop = Prepare(split, Options(Fit::kCrop));
  EXPECT_EQ(crop.At(253, 288), kBlue);
  EXPECT_NE(crop.At(254, 288), kBlue);
  EXPECT_NE(crop.At(254, 288), kRed);
  EXPECT_EQ(crop.At(255, 288), kRed);
  EXPECT_EQ(prep::DescribePlacement(crop.prepared.placement, Fit::kCrop),
            "crop: source 682.9x500 from 158.6,0 on columns 0..719, rows 0..575");

  // 16:9 at 576 lines (118:81): a 16:9 picture is 1024 x 81/118 = 702.9 samples, from 8.
  const PreparedBmp wide = Prepare(SaveImage(Halves(1600, 900, 0, Qt::red, Qt::red), "16x9.png"),
                                   Options(Fit::kLetterbox, 576, prep::DisplayAspect::k16x9));
  EXPECT_EQ(wide.At(7, 0), kBlack);
  EXPECT_EQ(wide.At(8, 0), kRed);
  EXPECT_EQ(wide.At(710, 575), kRed);
  EXPECT_EQ(wide.At(711, 575), kBlack);

  // Stretched, the whole frame.
  const PreparedBmp stretched = Prepare(red, Options(Fit::kStretch));
  EXPECT_EQ(stretched.At(0, 0), kRed);
  EXPECT_EQ(stretched.At(719, 575), kRed);
}

TEST(PrepInputs, FourHundredEightyLinePicture) {
  // 10:11 samples: a 4:3 picture is 480 x 4/3 x 11/10 = 704 samples wide, from 8.
  const PreparedBmp out = Prepare(SaveImage(Halves(640, 480, 0, Qt::red, Qt::red), "vga.png"),
                                  Options(Fit::kLetterbox, 480));
  EXPECT_TRUE(IsGeneratorBmp(out.prepared.bmp, 480));
  EXPECT_EQ(out.At(7, 479), kBlack);
  EXPECT_EQ(out.At(8, 479), kRed);
  EXPECT_EQ(out.At(711, 0), kRed);
  EXPECT_EQ(out.At(712, 0), kBlack);
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
  options.foreground = Qt::yellow;
  options.background = Qt::darkBlue;
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
