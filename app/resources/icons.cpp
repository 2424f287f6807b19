// The icon pixel art as ARGB images: each palette index becomes its opaque colour, the transparent
// pixels stay fully transparent.
#include "app/resources/icons.h"

#include <QPixmap>
#include <cstddef>

namespace qvx::resources {

const std::array<QRgb, 16> kIconPalette = [] {
  std::array<QRgb, 16> palette{};
  for (std::size_t i = 0; i < palette.size(); ++i)
    palette[i] = qRgb(kIconColours[i].red, kIconColours[i].green, kIconColours[i].blue);
  return palette;
}();

QImage IconImage(int resource_id, int size) {
  const std::vector<std::uint8_t> pixels = IconPixels(resource_id, size);
  if (pixels.empty())
    return {};
  QImage image(size, size, QImage::Format_ARGB32);
  for (int y = 0; y < size; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < size; ++x) {
      const std::uint8_t index = pixels[static_cast<std::size_t>(y) * size + x];
      line[x] = index == kTransparentPixel ? qRgba(0, 0, 0, 0) : kIconPalette.at(index);
    }
  }
  return image;
}

QIcon LoadIcon(int resource_id) {
  QIcon icon;
  for (int size : kIconSizes)
    icon.addPixmap(QPixmap::fromImage(IconImage(resource_id, size)));
  return icon;
}

}  // namespace qvx::resources
