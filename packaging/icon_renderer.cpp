// qvx5120-icon-renderer OUTDIR SIZE...: writes the application's icon as PNG files into a hicolor
// theme tree, OUTDIR/<N>x<N>/apps/qvx5120.png, from the same drawing the window uses. Each size is
// the largest drawn size that divides it, scaled up by whole pixels, so the pixel art stays crisp
// and within the icon palette.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QString>
#include <cstdio>
#include <cstdlib>

#include "app/resources/icons.h"
#include "window/templates.h"

namespace {

// The drawn size (32 or 16) that `size` is a whole multiple of; 0 if none is.
int DrawnSizeFor(int size) {
  for (int drawn : qvx::resources::kIconSizes) {
    if (size % drawn == 0)
      return drawn;
  }
  return 0;
}

bool WriteSize(const QString& root, int size) {
  const int drawn = DrawnSizeFor(size);
  if (size <= 0 || drawn == 0)
    return false;
  const QImage image = qvx::resources::IconImage(qvx::resources::kApplicationIconId, drawn)
                           .scaled(size, size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
  const QString dir = QStringLiteral("%1/%2x%2/apps").arg(root).arg(size);
  return QDir().mkpath(dir) && image.save(dir + "/qvx5120.png", "PNG");
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: qvx5120-icon-renderer OUTDIR SIZE...\n");
    return 2;
  }
  const QString root = QString::fromLocal8Bit(argv[1]);
  for (int i = 2; i < argc; ++i) {
    const int size = std::atoi(argv[i]);
    if (!WriteSize(root, size)) {
      std::fprintf(stderr, "qvx5120-icon-renderer: cannot write a %s pixel icon\n", argv[i]);
      return 1;
    }
  }
  return 0;
}
