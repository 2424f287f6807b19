// Picture reading with Qt's image readers and Qt SVG.
#include "prep/source_picture.h"

#include <QColorSpace>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QSvgRenderer>
#include <algorithm>
#include <cmath>

#include "prep/texts.h"

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
  return {image.convertToFormat(QImage::Format_RGBA64),
          text::SvgRendered(Dimensions(size.toSize()), Dimensions(pixels))};
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
  return {image, summary};
}

}  // namespace qvx::prep
