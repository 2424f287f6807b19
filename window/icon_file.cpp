// Icon images as 4-bit bitmaps with a 1-bit mask: the palette fits in the colour table as it is,
// and the mask carries the transparency, which every Windows version reads.
#include "window/icon_file.h"

#include <cstddef>

#include "window/icons.h"

namespace qvx::resources {
namespace {

constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint16_t kBitsPerPixel = 4;
constexpr std::size_t kDirectoryHeaderSize = 6;
constexpr std::size_t kDirectoryEntrySize = 16;

void Put16(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

// Bitmap rows start on four-byte boundaries.
std::size_t RowBytes(int size, int bits_per_pixel) {
  return (static_cast<std::size_t>(size) * bits_per_pixel + 31) / 32 * 4;
}

}  // namespace

std::vector<std::uint8_t> IconImageBytes(std::span<const std::uint8_t> pixels, int size) {
  if (size < 1 || pixels.size() != static_cast<std::size_t>(size) * size)
    return {};
  const std::size_t colour_row = RowBytes(size, kBitsPerPixel);
  const std::size_t mask_row = RowBytes(size, 1);
  const std::size_t image_size = (colour_row + mask_row) * size;

  std::vector<std::uint8_t> out;
  Put32(out, kInfoHeaderSize);
  Put32(out, static_cast<std::uint32_t>(size));
  Put32(out, static_cast<std::uint32_t>(size) * 2);  // the colour rows and the mask rows
  Put16(out, 1);                                     // planes
  Put16(out, kBitsPerPixel);
  Put32(out, 0);  // uncompressed
  Put32(out, static_cast<std::uint32_t>(image_size));
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, static_cast<std::uint32_t>(kIconColours.size()));
  Put32(out, 0);
  for (const PaletteColour& colour : kIconColours) {
    out.insert(out.end(), {colour.blue, colour.green, colour.red, 0});
  }

  const std::size_t colour_start = out.size();
  const std::size_t mask_start = colour_start + colour_row * size;
  out.resize(mask_start + mask_row * size, 0);
  for (int y = 0; y < size; ++y) {
    const std::size_t bottom_up = static_cast<std::size_t>(size - 1 - y);
    for (int x = 0; x < size; ++x) {
      const std::uint8_t index = pixels[static_cast<std::size_t>(y) * size + x];
      if (index == kTransparentPixel) {
        // A set mask bit over colour 0 leaves the background as it is.
        out[mask_start + bottom_up * mask_row + x / 8] |=
            static_cast<std::uint8_t>(0x80 >> (x % 8));
        continue;
      }
      // The left pixel of each byte is its high half.
      const int shift = x % 2 == 0 ? 4 : 0;
      out[colour_start + bottom_up * colour_row + x / 2] |=
          static_cast<std::uint8_t>((index & 0x0F) << shift);
    }
  }
  return out;
}

std::vector<std::uint8_t> IconFileBytes(int resource_id) {
  std::vector<std::vector<std::uint8_t>> images;
  for (int size : kIconSizes) {
    images.push_back(IconImageBytes(IconPixels(resource_id, size), size));
    if (images.back().empty())
      return {};
  }
  std::vector<std::uint8_t> out;
  Put16(out, 0);  // reserved
  Put16(out, 1);  // an icon, not a cursor
  Put16(out, static_cast<std::uint32_t>(images.size()));
  std::size_t offset = kDirectoryHeaderSize + kDirectoryEntrySize * images.size();
  for (std::size_t i = 0; i < images.size(); ++i) {
    const int size = kIconSizes[i];
    out.push_back(static_cast<std::uint8_t>(size));  // 0 would mean 256
    out.push_back(static_cast<std::uint8_t>(size));
    out.push_back(static_cast<std::uint8_t>(kIconColours.size()));
    out.push_back(0);
    Put16(out, 1);
    Put16(out, kBitsPerPixel);
    Put32(out, static_cast<std::uint32_t>(images[i].size()));
    Put32(out, static_cast<std::uint32_t>(offset));
    offset += images[i].size();
  }
  for (const std::vector<std::uint8_t>& image : images)
    out.insert(out.end(), image.begin(), image.end());
  return out;
}

}  // namespace qvx::resources
