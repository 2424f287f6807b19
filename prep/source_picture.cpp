// Picture reading with Qt's image readers and Qt SVG.
#include "prep/source_picture.h"

#include <QColorSpace>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>
#include <QSvgRenderer>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <iostream>
#include <memory>

#include "prep/texts.h"

namespace qvx::prep {
namespace {

// The largest side an SVG drawing is rendered at.
constexpr double kMaxRenderedSide = 8192;

// The form every reader hands over, from a Format_RGBA64 image.
SourcePicture Handed(const QImage& image, std::string summary) {
  SourcePicture picture{image.width(), image.height(), {}, std::move(summary)};
  picture.rgba.resize(static_cast<size_t>(image.width()) * image.height() * 4);
  const size_t row = static_cast<size_t>(image.width()) * 4;
  for (int y = 0; y < image.height(); ++y)
    std::memcpy(picture.rgba.data() + y * row, image.constScanLine(y), row * sizeof(uint16_t));
  return picture;
}

const char* message_program = "";

// Qt's warnings (a runtime directory not set, a PNG's profile chunk it finds odd) are not the
// user's business; its errors are.
void QtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtCriticalMsg || type == QtFatalMsg)
    std::cerr << message_program << ": " << message.toStdString() << '\n';
}

std::string Dimensions(QSize size) {
  return std::to_string(size.width()) + "x" + std::to_string(size.height());
}

bool IsSvg(const QString& path) {
  const QString suffix = QFileInfo(path).suffix().toLower();
  return suffix == "svg" || suffix == "svgz";
}

SourcePicture ReadSvg(const QString& path, const Frame& frame) {
  QSvgRenderer renderer(path);
  const QSizeF size = renderer.defaultSize();
  if (!renderer.isValid() || size.isEmpty())
    throw InputRefused(text::NotSvg(path.toStdString()));
  const double scale =
      std::min({2 * std::max(frame.width * frame.pixel_aspect.value() / size.width(),
                             frame.height / size.height()),
                kMaxRenderedSide / size.width(), kMaxRenderedSide / size.height()});
  const QSize pixels(std::max(1, static_cast<int>(std::lround(size.width() * scale))),
                     std::max(1, static_cast<int>(std::lround(size.height() * scale))));
  QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(pixels)));
  painter.end();
  return Handed(image.convertToFormat(QImage::Format_RGBA64),
                text::SvgRendered(Dimensions(size.toSize()), Dimensions(pixels)));
}

}  // namespace

SourcePicture ReadPicture(const std::string& path, const Frame& frame) {
  const QString file = QString::fromStdString(path);
  if (!QFileInfo(file).isFile())
    throw InputRefused(text::NoSuchFile(path));
  if (IsSvg(file))
    return ReadSvg(file, frame);
  QImageReader reader(file);
  reader.setAutoTransform(true);
  const std::string format = reader.format().toUpper().toStdString();
  QImage image = reader.read();
  if (image.isNull()) {
    throw InputRefused(text::NotAPicture(path, reader.errorString().toStdString()));
  }
  std::string summary = format + " " + Dimensions(image.size());
  if (image.colorCount() > 0)
    summary += text::kPalette;
  if (image.depth() == 64 || image.format() == QImage::Format_Grayscale16)
    summary += text::k16Bit;
  if (image.hasAlphaChannel())
    summary += text::kAlpha;
  if (reader.transformation() != QImageIOHandler::TransformationNone)
    summary += text::kTurnedUpright;
  // 16 bits a channel before any conversion, so a 16-bit file keeps its precision.
  const QColorSpace space = image.colorSpace();
  image.convertTo(QImage::Format_RGBA64);
  if (space.isValid() && space != QColorSpace(QColorSpace::SRgb)) {
    image.convertToColorSpace(QColorSpace::SRgb);
    summary += text::ColourSpaceConverted(space.description().toStdString());
  }
  return Handed(image, summary);
}

std::string ReadableFormats() {
  std::string formats;
  for (const QByteArray& format : QImageReader::supportedImageFormats())
    formats += (formats.empty() ? "" : " ") + format.toStdString();
  return formats + " svg";
}

void StartImaging(const char* program) {
  if (QCoreApplication::instance() != nullptr)
    return;
  message_program = program;
  qInstallMessageHandler(QtMessages);
  // Fonts (text banners, an SVG's text) need a GUI application; it shows nothing, so it needs no
  // display.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[64];
  std::snprintf(name, sizeof name, "%s", program);
  static char* argv[] = {name, nullptr};
  static const auto app = std::make_unique<QGuiApplication>(argc, argv);
}

}  // namespace qvx::prep
