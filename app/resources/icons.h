// Icons 128 (the application) and 134 (the About box), drawn in code in the 16 colours of the
// classic palette at 32 and 16 pixels: a signal generator with colour bars on its screen, and a
// screen with a sine trace over a strip of colour bars.
#pragma once

#include <QIcon>
#include <QImage>
#include <QRgb>
#include <array>

namespace qvx::resources {

inline constexpr std::array<int, 2> kIconSizes = {32, 16};

// The 16 colours every icon pixel is drawn in (plus full transparency).
extern const std::array<QRgb, 16> kIconPalette;

// One size of an icon resource; a null image for an unknown id.
QImage IconImage(int resource_id, int size);
// Both sizes of an icon resource.
QIcon LoadIcon(int resource_id);

}  // namespace qvx::resources
