// Icons 128 (the application) and 134 (the About box) as pixel art in the 16 colours of the
// classic palette, at 32 and 16 pixels: a signal generator with colour bars on its screen, and a
// screen with a sine trace over a strip of colour bars. No toolkit: each window, the packaging and
// the Windows icon file turn the same palette indexes into their own images.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace qvx::resources {

inline constexpr std::array<int, 2> kIconSizes = {32, 16};

struct PaletteColour {
  std::uint8_t red, green, blue;
};

// The 16 colours every icon pixel is drawn in.
inline constexpr std::array<PaletteColour, 16> kIconColours = {{
    {0, 0, 0},
    {128, 0, 0},
    {0, 128, 0},
    {128, 128, 0},
    {0, 0, 128},
    {128, 0, 128},
    {0, 128, 128},
    {192, 192, 192},
    {128, 128, 128},
    {255, 0, 0},
    {0, 255, 0},
    {255, 255, 0},
    {0, 0, 255},
    {255, 0, 255},
    {0, 255, 255},
    {255, 255, 255},
}};

// A pixel that shows what lies beneath the icon.
inline constexpr std::uint8_t kTransparentPixel = 0xFF;

// One size of an icon resource: size * size entries, row by row from the top, each an index into
// kIconColours or kTransparentPixel. Empty for an unknown id or a size below one.
std::vector<std::uint8_t> IconPixels(int resource_id, int size);

}  // namespace qvx::resources
