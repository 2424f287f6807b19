// Icons 128 (the application) and 134 (the About box) as Qt images, from the toolkit-free pixel
// art in window/icons.h.
#pragma once

#include <QIcon>
#include <QImage>
#include <QRgb>
#include <array>

#include "window/icons.h"

namespace qvx::resources {

// The 16 colours every icon pixel is drawn in (plus full transparency).
extern const std::array<QRgb, 16> kIconPalette;

// One size of an icon resource; a null image for an unknown id.
QImage IconImage(int resource_id, int size);
// Both sizes of an icon resource.
QIcon LoadIcon(int resource_id);

}  // namespace qvx::resources
