// The Qt-free halves of picture reading, held to Qt, which the Linux build reads with: the colour
// names of --background and --colors against QColor, and the EXIF orientation that the Windows
// reader applies itself against Qt's own turning of the same JPEG.
#include <QBuffer>
#include <QColor>
#include <QImageReader>
#include <QPainter>
#include <fstream>

#include "prep/colour.h"
#include "prep/orientation.h"
#include "tests/prep/prep_fixture.h"
#include "tests/support/test_files.h"

namespace qvx::test {
namespace {

void ExpectSameAsQt(const std::string& name) {
  const QColor qt = QColor::fromString(QString::fromStdString(name));
  const auto ours = prep::ColourNamed(name);
  ASSERT_EQ(ours.has_value(), qt.isValid()) << name;
  if (!ours)
    return;
  const QRgba64 wide = qt.rgba64();
  EXPECT_EQ(*ours, (prep::Colour{wide.red(), wide.green(), wide.blue()})) << name;
  EXPECT_EQ(prep::HexName(*ours), qt.name().toStdString()) << name;
}

TEST(PrepSeam, EveryColourKeywordReadsAsQtReadsIt) {
  const QStringList names = QColor::colorNames();
  ASSERT_GT(names.size(), 140);
  for (const QString& name : names) {
    ExpectSameAsQt(name.toStdString());
    ExpectSameAsQt(name.toUpper().toStdString());
  }
}

TEST(PrepSeam, HexAndOddColourNamesReadAsQtReadsThem) {
  for (const char* name : {"#f00",          "#F0a",          "#abc123",   "#80ff0000", "#123456789",
                           "#123456789abc", "#0000ffff0000", "#12345",    "#1234",     "#fff0",
                           "#12345678901",  "#ggg",          "#",         "",          "red",
                           "Red",           "light blue",    " navy",     "navy ",     "lightblue2",
                           "#-12",          "transparent",   "rgb(1,2,3)"})
    ExpectSameAsQt(name);
}

// A JPEG from Qt with an Exif block giving `orientation`, of a picture whose every part differs.
std::string OrientedJpeg(int orientation) {
  QImage image(40, 24, QImage::Format_RGB32);
  QPainter painter(&image);
  painter.fillRect(0, 0, 40, 24, Qt::white);
  painter.fillRect(0, 0, 20, 12, Qt::red);
  painter.fillRect(20, 0, 20, 6, Qt::green);
  painter.fillRect(0, 12, 8, 12, Qt::blue);
  painter.end();
  QByteArray jpeg;
  QBuffer buffer(&jpeg);
  buffer.open(QIODevice::WriteOnly);
  EXPECT_TRUE(image.save(&buffer, "JPEG", 90));
  // APP1 "Exif", little-endian TIFF this time, one directory entry: Orientation, SHORT, 1 value.
  const char exif[] =
      "\xFF\xE1\x00\x22"
      "Exif\0\0"
      "II\x2A\x00\x08\x00\x00\x00"
      "\x01\x00"
      "\x12\x01\x03\x00\x01\x00\x00\x00"
      "\x00\x00\x00\x00"
      "\x00\x00\x00\x00";
  QByteArray block(exif, sizeof exif - 1);
  block[4 + 6 + 8 + 2 + 8] = static_cast<char>(orientation);
  jpeg.insert(2, block);
  const std::string path = TempDir() + "/oriented-" + std::to_string(orientation) + ".jpg";
  std::ofstream(path, std::ios::binary).write(jpeg.constData(), jpeg.size());
  return path;
}

prep::SourcePicture AsSource(QImage image) {
  image.convertTo(QImage::Format_RGBA64);
  prep::SourcePicture picture{image.width(), image.height(), {}, {}};
  for (int y = 0; y < image.height(); ++y) {
    const auto* row = reinterpret_cast<const uint16_t*>(image.constScanLine(y));
    picture.rgba.insert(picture.rgba.end(), row, row + size_t(image.width()) * 4);
  }
  return picture;
}

TEST(PrepSeam, EachExifOrientationTurnsAsQtTurnsIt) {
  for (int orientation = 1; orientation <= 8; ++orientation) {
    const std::string path = OrientedJpeg(orientation);
    EXPECT_EQ(prep::ExifOrientation(path), orientation);
    QImageReader stored(QString::fromStdString(path));
    stored.setAutoTransform(false);
    QImageReader upright(QString::fromStdString(path));
    upright.setAutoTransform(true);
    const prep::SourcePicture ours = prep::Upright(AsSource(stored.read()), orientation);
    const prep::SourcePicture qt = AsSource(upright.read());
    EXPECT_EQ(ours.width, qt.width) << orientation;
    EXPECT_EQ(ours.height, qt.height) << orientation;
    EXPECT_TRUE(ours.rgba == qt.rgba) << "orientation " << orientation;
  }
}

TEST(PrepSeam, FilesWithoutExifAreUpright) {
  QImage image(8, 8, QImage::Format_RGB32);
  image.fill(Qt::red);
  EXPECT_EQ(prep::ExifOrientation(SaveImage(image, "plain.jpg")), 1);
  EXPECT_EQ(prep::ExifOrientation(SaveImage(image, "plain.png")), 1);
  EXPECT_EQ(prep::ExifOrientation(TempDir() + "/no-such-file.jpg"), 1);
}

}  // namespace
}  // namespace qvx::test
