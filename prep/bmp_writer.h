// The one kind of file the generator takes: "BM", a 40-byte BITMAPINFOHEADER right after the
// 14-byte file header (pixel data at byte 54), 720 pixels wide, 24 bits per pixel uncompressed,
// rows bottom-up with no padding (2160 bytes a row), and the exact file size declared.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace qvx::prep {

// The file holding `rgb`: 720 x height pixels of red, green, blue, rows from the top.
std::vector<uint8_t> GeneratorBmp(std::span<const uint8_t> rgb, int height);

}  // namespace qvx::prep
