// Writing the generator's BMP.
#include "prep/bmp_writer.h"

#include <stdexcept>

#include "encode/bmp_check.h"

namespace qvx::prep {
namespace {

void Put(std::vector<uint8_t>& out, size_t at, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i)
    out[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

std::vector<uint8_t> GeneratorBmp(std::span<const uint8_t> rgb, int height) {
  const size_t rows = static_cast<size_t>(height);
  if (rgb.size() != rows * kBmpRowSize)
    throw std::invalid_argument("GeneratorBmp: the pixels are not 720 x height");
  const auto image_size = static_cast<uint32_t>(rows * kBmpRowSize);
  std::vector<uint8_t> bmp(kBmpHeaderSize + image_size);
  bmp[0] = 'B';
  bmp[1] = 'M';
  Put(bmp, 2, static_cast<uint32_t>(kBmpHeaderSize) + image_size, 4);  // bfSize
  Put(bmp, 10, static_cast<uint32_t>(kBmpHeaderSize), 4);              // bfOffBits
  Put(bmp, 14, 40, 4);                                                 // biSize
  Put(bmp, 18, kBmpWidth, 4);
  Put(bmp, 22, static_cast<uint32_t>(height), 4);  // positive: bottom-up
  Put(bmp, 26, 1, 2);                              // planes
  Put(bmp, 28, 24, 2);                             // bits per pixel
  Put(bmp, 30, 0, 4);                              // BI_RGB
  Put(bmp, 34, image_size, 4);
  Put(bmp, 38, 2835, 4);  // 72 dpi, as paint programs write it
  Put(bmp, 42, 2835, 4);
  for (size_t r = 0; r < rows; ++r) {
    const uint8_t* in = rgb.data() + (rows - 1 - r) * kBmpRowSize;
    uint8_t* out = bmp.data() + kBmpHeaderSize + r * kBmpRowSize;
    for (size_t x = 0; x < kBmpWidth; ++x) {
      out[3 * x] = in[3 * x + 2];  // blue, green, red
      out[3 * x + 1] = in[3 * x + 1];
      out[3 * x + 2] = in[3 * x];
    }
  }
  return bmp;
}

}  // namespace qvx::prep
