// The Windows icon file read back pixel by pixel: each size's directory entry, and the colour and
// mask rows of its bitmap against the pixel art they were made from.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "window/icon_file.h"
#include "window/icons.h"
#include "window/templates.h"

namespace qvx::test {
namespace {

std::uint32_t Read16(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return bytes.at(at) | bytes.at(at + 1) << 8;
}
std::uint32_t Read32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return Read16(bytes, at) | Read16(bytes, at + 2) << 16;
}

TEST(IconFile, HoldsEachSizeAsDrawn) {
  const std::vector<std::uint8_t> file = resources::IconFileBytes(resources::kApplicationIconId);
  ASSERT_GE(file.size(), 6u);
  EXPECT_EQ(Read16(file, 0), 0u);
  EXPECT_EQ(Read16(file, 2), 1u);
  ASSERT_EQ(Read16(file, 4), resources::kIconSizes.size());
  for (std::size_t i = 0; i < resources::kIconSizes.size(); ++i) {
    const int size = resources::kIconSizes[i];
    const std::size_t entry = 6 + 16 * i;
    EXPECT_EQ(file.at(entry), size);
    EXPECT_EQ(file.at(entry + 1), size);
    EXPECT_EQ(Read16(file, entry + 6), 4u);
    const std::size_t image = Read32(file, entry + 12);
    ASSERT_EQ(image + Read32(file, entry + 8),
              i + 1 == resources::kIconSizes.size() ? file.size() : Read32(file, entry + 16 + 12));
    EXPECT_EQ(Read32(file, image + 4), static_cast<std::uint32_t>(size));
    EXPECT_EQ(Read32(file, image + 8), static_cast<std::uint32_t>(2 * size));
    // Palette entry 9 is red: its bytes blue, green, red, 0 read as 0x00RRGGBB.
    EXPECT_EQ(Read32(file, image + 40 + 4 * 9), 0x00FF0000u);

    const std::vector<std::uint8_t> pixels =
        resources::IconPixels(resources::kApplicationIconId, size);
    const std::size_t colour_rows = image + 40 + 16 * 4;
    const std::size_t colour_row = (size * 4 + 31) / 32 * 4;
    const std::size_t mask_rows = colour_rows + colour_row * size;
    const std::size_t mask_row = (size + 31) / 32 * 4;
    for (int y = 0; y < size; ++y) {
      const std::size_t row = static_cast<std::size_t>(size - 1 - y);
      for (int x = 0; x < size; ++x) {
        const std::uint8_t expected = pixels[static_cast<std::size_t>(y) * size + x];
        const bool masked = file.at(mask_rows + row * mask_row + x / 8) & (0x80 >> (x % 8));
        const std::uint8_t both = file.at(colour_rows + row * colour_row + x / 2);
        const std::uint8_t colour = x % 2 == 0 ? both >> 4 : both & 0x0F;
        ASSERT_EQ(masked, expected == resources::kTransparentPixel)
            << size << ": " << x << "," << y;
        ASSERT_EQ(colour, masked ? 0 : expected) << size << ": " << x << "," << y;
      }
    }
  }
  EXPECT_TRUE(resources::IconFileBytes(999).empty());
}

}  // namespace
}  // namespace qvx::test
