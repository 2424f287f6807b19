#include "encode/line_encoder.h"

#include <algorithm>

namespace qvx {
namespace {

uint8_t Limit(int value) {
  return static_cast<uint8_t>(std::clamp(value, 16, 235));
}

}  // namespace

YCbCrPair ConvertPixelPair(std::span<const uint8_t, 6> p) {
  const int b0 = p[0], g0 = p[1], r0 = p[2];
  const int b1 = p[3], g1 = p[4], r1 = p[5];
  const int rs = r0 + r1, gs = g0 + g1, bs = b0 + b1;
  // All dividends are non-negative, so integer division is the floor.
  const int cb = 128 - 44 * rs / 512 - 87 * gs / 512 + 131 * bs / 512;
  const int y0 = 77 * r0 / 256 + 150 * g0 / 256 + 29 * b0 / 256;
  const int cr = 128 + 131 * rs / 512 - 110 * gs / 512 - 21 * bs / 512;
  const int y1 = 77 * r1 / 256 + 150 * g1 / 256 + 29 * b1 / 256;
  return {Limit(cb), Limit(y0), Limit(cr), Limit(y1)};
}

void EncodeLine(const BmpLine& line, LineBuffer& out) {
  for (size_t p = 0; p < kEncodedLineSize / 4; ++p) {
    const YCbCrPair c = ConvertPixelPair(std::span<const uint8_t, 6>(line.data() + 6 * p, 6));
    out[4 * p] = c.Cb;
    out[4 * p + 1] = c.Y0;
    out[4 * p + 2] = c.Cr;
    out[4 * p + 3] = c.Y1;
  }
  std::fill(out.begin() + kEncodedLineSize, out.end(), uint8_t{0});
}

}  // namespace qvx
