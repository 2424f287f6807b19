// Colours the user names on the command line (--background, --colors), read the way both builds
// read them: an SVG colour keyword or #rgb, #rrggbb, #aarrggbb, #rrrgggbbb, #rrrrggggbbbb. Kept
// free of Qt so that the Windows tools take the same names.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qvx::prep {

// 16 bits a channel, as a 16-bit picture's samples; any alpha named is dropped, since the colour
// only ever fills.
struct Colour {
  uint16_t red = 0;
  uint16_t green = 0;
  uint16_t blue = 0;

  static constexpr Colour Of8(uint8_t red, uint8_t green, uint8_t blue) {
    return {static_cast<uint16_t>(red * 257), static_cast<uint16_t>(green * 257),
            static_cast<uint16_t>(blue * 257)};
  }
  // A channel as 8 bits, rounded.
  static constexpr uint8_t To8(uint16_t value) {
    return static_cast<uint8_t>((value - (value >> 8) + 0x80) >> 8);
  }
  bool operator==(const Colour&) const = default;
};

inline constexpr Colour kBlack = Colour::Of8(0, 0, 0);
inline constexpr Colour kWhite = Colour::Of8(255, 255, 255);

// The colour `name` names (keywords in any case, spaces ignored), or nothing.
std::optional<Colour> ColourNamed(std::string_view name);

// "#rrggbb", of the 8-bit channels.
std::string HexName(Colour colour);

}  // namespace qvx::prep
