// Picture reading with Qt's image readers and Qt SVG.
#include "prep/source_picture.h"

#include <QColorSpace>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QSvgRenderer>
#include <algorithm>
#include <cmath>

namespace qvx::prep {
namespace {

// The largest side an SVG drawing is rendered at.
constexpr double kMaxRenderedSide = 8192;

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
    throw PrepError(path.toStdString() + ": not an SVG drawing Qt SVG can render");
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
  return {image.convertToFormat(QImage::Format_RGBA64),
          "SVG " + Dimensions(size.toSize()) + ", rendered at " + Dimensions(pixels)};
}

}  // namespace

SourcePicture ReadPicture(const std::string& path, const Frame& frame) {
  const QString file = QString::fromStdString(path);
  if (!QFileInfo(file).isFile())
    throw PrepError(path + ": no such file");
  if (IsSvg(file))
    return ReadSvg(file, frame);
  QImageReader reader(file);
  reader.setAutoTransform(true);
  const std::string format = reader.format().toUpper().toStdString();
  QImage image = reader.read();
  if (image.isNull()) {
    throw PrepError(path + ": cannot be read as a picture (" + reader.errorString().toStdString() +
                    ")");
  }
  std::string summary = format + " " + Dimensions(image.size());
  if (image.colorCount() > 0)
    summary += ", palette";
  if (image.depth() == 64 || image.format() == QImage::Format_Grayscale16)
    summary += ", 16-bit";
  if (image.hasAlphaChannel())
    summary += ", alpha";
  if (reader.transformation() != QImageIOHandler::TransformationNone)
    summary += ", turned upright by its EXIF orientation";
  // 16 bits a channel before any conversion, so a 16-bit file keeps its precision.
  const QColorSpace space = image.colorSpace();
  image.convertTo(QImage::Format_RGBA64);
  if (space.isValid() && space != QColorSpace(QColorSpace::SRgb)) {
    image.convertToColorSpace(QColorSpace::SRgb);
    summary += ", colour space";
    if (!space.description().isEmpty())
      summary += " \"" + space.description().toStdString() + "\"";
    summary += " converted to sRGB";
  }
  return {image, summary};
}

}  // namespace qvx::prep
