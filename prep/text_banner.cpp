// Text banners with QPainter.
#include "prep/text_banner.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "prep/bmp_writer.h"
#include "prep/source_picture.h"
#include "prep/texts.h"

namespace qvx::prep {

TextBanner RenderTextBanner(const TextBannerOptions& options) {
  if (options.text.empty())
    throw InputRefused(text::kEmptyText);
  const Frame frame = BannerFrame(options.lines, options.aspect);
  const double par = frame.pixel_aspect.value();
  // The painter works in square units: the banner is 720 x par of them wide.
  const double width = frame.width * par;
  const QString text = QString::fromStdString(options.text);

  QFont font =
      options.font_family.empty() ? QFont() : QFont(QString::fromStdString(options.font_family));
  font.setPixelSize(std::max(1, static_cast<int>(frame.height * 0.6)));
  const QRectF natural = QFontMetricsF(font).boundingRect(text);
  if (natural.width() > width * 0.9) {
    font.setPixelSize(std::max(
        1, static_cast<int>(std::floor(font.pixelSize() * width * 0.9 / natural.width()))));
  }

  QImage image(frame.width, frame.height, QImage::Format_RGB888);
  const auto qt_colour = [](const Colour& c) { return QColor::fromRgba64(c.red, c.green, c.blue); };
  image.fill(qt_colour(options.background));
  QPainter painter(&image);
  painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
  painter.scale(1 / par, 1);
  painter.setFont(font);
  painter.setPen(qt_colour(options.foreground));
  const QRectF area(0, 0, width, frame.height);
  QRectF box;
  painter.drawText(area, Qt::AlignCenter, text, &box);
  painter.end();

  std::vector<uint8_t> rgb(static_cast<size_t>(frame.height) * kBmpRowSize);
  for (int y = 0; y < frame.height; ++y) {
    const uchar* line = image.constScanLine(y);
    std::copy(line, line + kBmpRowSize, rgb.begin() + static_cast<std::ptrdiff_t>(y) * kBmpRowSize);
  }
  const int x0 = std::clamp(static_cast<int>(std::floor(box.left() / par)), 0, frame.width - 1);
  const int x1 = std::clamp(static_cast<int>(std::ceil(box.right() / par)), x0 + 1, frame.width);
  const int y0 = std::clamp(static_cast<int>(std::floor(box.top())), 0, frame.height - 1);
  const int y1 = std::clamp(static_cast<int>(std::ceil(box.bottom())), y0 + 1, frame.height);
  const Placement place{x0, y0, x1 - x0, y1 - y0, 0, 0, box.width(), box.height()};
  const QFontInfo used(font);
  return {{GeneratorBmp(rgb, frame.height), frame, place, "text \"" + options.text + "\""},
          text::FontUsed(used.family().toStdString(), font.pixelSize())};
}

}  // namespace qvx::prep
