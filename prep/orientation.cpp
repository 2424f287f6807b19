// EXIF orientation.
#include "prep/orientation.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <vector>

namespace qvx::prep {
namespace {

// The orientation tag in the TIFF structure at `tiff` (its "II" or "MM" header), or 1.
int TiffOrientation(const std::vector<uint8_t>& bytes, size_t tiff) {
  if (tiff + 8 > bytes.size())
    return 1;
  const bool big = bytes[tiff] == 'M' && bytes[tiff + 1] == 'M';
  if (!big && !(bytes[tiff] == 'I' && bytes[tiff + 1] == 'I'))
    return 1;
  const auto u16 = [&](size_t at) -> uint32_t {
    return big ? bytes[at] << 8 | bytes[at + 1] : bytes[at + 1] << 8 | bytes[at];
  };
  const auto u32 = [&](size_t at) {
    return big ? u16(at) << 16 | u16(at + 2) : u16(at + 2) << 16 | u16(at);
  };
  if (u16(tiff + 2) != 42)
    return 1;
  const size_t directory = tiff + u32(tiff + 4);
  if (directory + 2 > bytes.size())
    return 1;
  const uint32_t entries = u16(directory);
  for (uint32_t i = 0; i < entries; ++i) {
    const size_t entry = directory + 2 + size_t{i} * 12;
    if (entry + 12 > bytes.size())
      return 1;
    if (u16(entry) == 0x0112 && u16(entry + 2) == 3) {  // Orientation, SHORT
      const uint32_t value = u16(entry + 8);
      return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
    }
  }
  return 1;
}

// The orientation in a JPEG's APP1 Exif block, or 1: the markers are walked up to the image data.
int JpegOrientation(const std::vector<uint8_t>& bytes) {
  size_t at = 2;
  while (at + 4 <= bytes.size() && bytes[at] == 0xFF) {
    const uint8_t marker = bytes[at + 1];
    if (marker == 0xDA || marker == 0xD9)  // start of scan, end of image
      return 1;
    const size_t length = size_t{bytes[at + 2]} << 8 | bytes[at + 3];
    const size_t body = at + 4;
    static constexpr uint8_t kExif[] = {'E', 'x', 'i', 'f', 0, 0};
    if (marker == 0xE1 && body + 6 <= bytes.size() &&
        std::equal(std::begin(kExif), std::end(kExif),
                   bytes.begin() + static_cast<std::ptrdiff_t>(body)))
      return TiffOrientation(bytes, body + 6);
    at += 2 + length;
  }
  return 1;
}

}  // namespace

int ExifOrientation(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  // The Exif block stands before the image data, within its 64 KiB.
  std::vector<uint8_t> bytes(256 * 1024);
  file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<size_t>(file.gcount()));
  if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xD8)
    return JpegOrientation(bytes);
  return TiffOrientation(bytes, 0);
}

SourcePicture Upright(const SourcePicture& in, int orientation) {
  if (orientation < 2 || orientation > 8)
    return in;
  const bool turned = orientation >= 5;
  const int w = in.width, h = in.height;
  SourcePicture out{turned ? h : w, turned ? w : h, {}, in.summary};
  out.rgba.resize(in.rgba.size());
  uint16_t* to = out.rgba.data();
  for (int y = 0; y < out.height; ++y) {
    for (int x = 0; x < out.width; ++x, to += 4) {
      int sx = x, sy = y;
      switch (orientation) {
        case 2:
          sx = w - 1 - x;
          break;
        case 3:
          sx = w - 1 - x;
          sy = h - 1 - y;
          break;
        case 4:
          sy = h - 1 - y;
          break;
        case 5:
          sx = y;
          sy = x;
          break;
        case 6:
          sx = y;
          sy = h - 1 - x;
          break;
        case 7:
          sx = w - 1 - y;
          sy = h - 1 - x;
          break;
        case 8:
          sx = w - 1 - y;
          sy = x;
          break;
      }
      const uint16_t* from = in.Row(sy) + static_cast<size_t>(sx) * 4;
      std::copy(from, from + 4, to);
    }
  }
  return out;
}

}  // namespace qvx::prep
