// qvx5120-test-pictures: the pictures scripts/test-windows-prep hands to qvx5120-prep on both
// platforms, made with Qt, and the two comparisons it needs beside cmp.
//
//   qvx5120-test-pictures make DIR          the pictures, into DIR
//   qvx5120-test-pictures psnr A.bmp B.bmp  the PSNR of two generator BMPs, in dB ("inf": equal)
//   qvx5120-test-pictures same-pixels A B   exit 0 when two pictures hold the same pixels
#include <QBuffer>
#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

// Gradients, hard edges and fine detail, so that resampling and rounding show in every part.
QImage Scene(int width, int height, QImage::Format format) {
  QImage image(width, height, format);
  QPainter painter(&image);
  QLinearGradient ramp(0, 0, width, height);
  ramp.setColorAt(0, QColor(250, 30, 10));
  ramp.setColorAt(0.5, QColor(20, 200, 90));
  ramp.setColorAt(1, QColor(10, 40, 240));
  painter.fillRect(image.rect(), ramp);
  painter.setPen(QPen(Qt::white, 3));
  painter.drawEllipse(QRectF(width * 0.2, height * 0.2, width * 0.5, height * 0.55));
  for (int x = 0; x < width / 4; x += 2)
    painter.fillRect(x, height - height / 6, 1, height / 6, Qt::black);
  painter.end();
  return image;
}

bool Save(const QImage& image, const QString& path, const char* format = nullptr,
          int quality = -1) {
  if (image.save(path, format, quality))
    return true;
  std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
  return false;
}

// A JPEG whose Exif block says "turn 90 degrees clockwise to show" (orientation 6).
bool RotatedJpeg(const QString& path) {
  QByteArray jpeg;
  QBuffer buffer(&jpeg);
  buffer.open(QIODevice::WriteOnly);
  if (!Scene(480, 320, QImage::Format_RGB32).save(&buffer, "JPEG", 92))
    return false;
  const char exif[] =
      "\xFF\xE1\x00\x22"
      "Exif\0\0"
      "MM\x00\x2A\x00\x00\x00\x08"
      "\x00\x01"
      "\x01\x12\x00\x03\x00\x00\x00\x01"
      "\x00\x06\x00\x00"
      "\x00\x00\x00\x00";
  jpeg.insert(2, QByteArray(exif, sizeof exif - 1));
  std::ofstream(path.toStdString(), std::ios::binary).write(jpeg.constData(), jpeg.size());
  return true;
}

int Make(const QString& dir) {
  bool ok = RotatedJpeg(dir + "/rotated.jpg");
  ok &= Save(Scene(1200, 800, QImage::Format_RGB32), dir + "/photo.jpg", "JPEG", 90);
  // 16:9 with transparency: opaque left, a fading middle, a clear right edge.
  QImage wide = Scene(1600, 900, QImage::Format_ARGB32);
  for (int y = 0; y < wide.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(wide.scanLine(y));
    for (int x = 0; x < wide.width(); ++x) {
      const int a = x < 600 ? 255 : x > 1400 ? 0 : 255 - (x - 600) * 255 / 800;
      line[x] = qRgba(qRed(line[x]), qGreen(line[x]), qBlue(line[x]), a);
    }
  }
  ok &= Save(wide, dir + "/wide-alpha.png");
  // 16 bits a channel, levels an 8-bit file cannot hold.
  QImage deep(640, 480, QImage::Format_RGBA64);
  for (int y = 0; y < deep.height(); ++y) {
    auto* line = reinterpret_cast<QRgba64*>(deep.scanLine(y));
    for (int x = 0; x < deep.width(); ++x)
      line[x] = qRgba64(static_cast<quint16>(x * 102 + 7), static_cast<quint16>(y * 136 + 3),
                        static_cast<quint16>((x * y) & 0xFFFF), 0xFFFF);
  }
  ok &= Save(deep.convertToFormat(QImage::Format_RGBX64), dir + "/deep.png");
  QImage deep_alpha = deep;
  for (int y = 0; y < deep.height(); ++y) {
    auto* line = reinterpret_cast<QRgba64*>(deep_alpha.scanLine(y));
    for (int x = 0; x < deep.width(); ++x)
      line[x].setAlpha(static_cast<quint16>(x * 100));
  }
  ok &= Save(deep_alpha, dir + "/deep-alpha.png");
  QImage grey(300, 200, QImage::Format_Grayscale16);
  for (int y = 0; y < grey.height(); ++y) {
    auto* line = reinterpret_cast<quint16*>(grey.scanLine(y));
    for (int x = 0; x < grey.width(); ++x)
      line[x] = static_cast<quint16>(x * 218 + y);
  }
  ok &= Save(grey, dir + "/grey16.png");
  ok &= Save(Scene(300, 200, QImage::Format_RGB32).convertToFormat(QImage::Format_Grayscale8),
             dir + "/grey8.png");
  // A palette with one colour see-through.
  QImage palette = Scene(320, 240, QImage::Format_RGB32)
                       .convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
  QList<QRgb> colours = palette.colorTable();
  colours[0] = qRgba(qRed(colours[0]), qGreen(colours[0]), qBlue(colours[0]), 0);
  palette.setColorTable(colours);
  ok &= Save(palette, dir + "/palette.png");
  ok &= Save(Scene(720, 576, QImage::Format_RGB32), dir + "/exact.png");
  ok &= Save(Scene(500, 375, QImage::Format_RGB32), dir + "/plain.bmp");
  std::ofstream(dir.toStdString() + "/card.svg")
      << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"400\" height=\"300\">"
         "<rect width=\"400\" height=\"300\" fill=\"navy\"/></svg>\n";
  std::ofstream(dir.toStdString() + "/notes.png") << "not a picture\n";
  return ok ? 0 : 1;
}

std::vector<char> Bytes(const char* path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

int Psnr(const char* a, const char* b) {
  const auto x = Bytes(a), y = Bytes(b);
  if (x.size() != y.size() || x.size() <= 54) {
    std::printf("different sizes\n");
    return 1;
  }
  double squares = 0;
  for (size_t i = 54; i < x.size(); ++i) {
    const double d = static_cast<unsigned char>(x[i]) - static_cast<unsigned char>(y[i]);
    squares += d * d;
  }
  if (squares == 0) {
    std::printf("inf\n");
    return 0;
  }
  const double mse = squares / static_cast<double>(x.size() - 54);
  std::printf("%.2f\n", 10 * std::log10(255.0 * 255.0 / mse));
  return 0;
}

int SamePixels(const char* a, const char* b) {
  const QImage x = QImage(a).convertToFormat(QImage::Format_RGB888);
  const QImage y = QImage(b).convertToFormat(QImage::Format_RGB888);
  return !x.isNull() && x == y ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "make" && argc == 3)
    return Make(argv[2]);
  if (command == "psnr" && argc == 4)
    return Psnr(argv[2], argv[3]);
  if (command == "same-pixels" && argc == 4)
    return SamePixels(argv[2], argv[3]);
  std::fprintf(stderr, "usage: qvx5120-test-pictures make DIR | psnr A B | same-pixels A B\n");
  return 2;
}
