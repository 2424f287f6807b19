// The stored video line: one 720-pixel BMP row (blue, green, red per pixel) becomes 1440 bytes of
// 8-bit 4:2:2 YCbCr, sent in a 1536-byte block, and lands at its line position in one field.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "encode/bmp_check.h"

namespace qvx {

inline constexpr size_t kEncodedLineSize = 1440;    // 360 groups Cb, Y0, Cr, Y1
inline constexpr size_t kLineBufferSize = 1536;     // encoded line, then zero bytes
inline constexpr int kLinePairsPerBand = 36;        // line positions 0..35 of one field's band
inline constexpr uint32_t kLineAddressUnits = 720;  // 1440 bytes in 16-bit address units

using BmpLine = std::array<uint8_t, kBmpRowSize>;
using LineBuffer = std::array<uint8_t, kLineBufferSize>;

// The four stored bytes of one pixel pair, in their stored order.
struct YCbCrPair {
  uint8_t Cb;
  uint8_t Y0;
  uint8_t Cr;
  uint8_t Y1;
};

// Converts pixel 2p and 2p+1 given as B0 G0 R0 B1 G1 R1. Chroma comes from the sum of the two
// pixels, luma from each pixel alone; every product is divided (truncating) on its own before the
// terms are added, and all four results are limited to 16..235, chroma included.
YCbCrPair ConvertPixelPair(std::span<const uint8_t, 6> bgr_pair);

// Fills `out` with the 360 converted pixel pairs of `line`, followed by 96 zero bytes.
void EncodeLine(const BmpLine& line, LineBuffer& out);

// Flash address of line pair k (0..35) within a band of one field that starts at band_start: the
// pairs are written from the band's lowest rows up, so pair 0 goes to position 35 and pair 35 to
// position 0. Unsigned 32-bit; the sender keeps only bits 23..0.
constexpr uint32_t LineAddress(uint32_t band_start, int k) {
  return band_start + static_cast<uint32_t>(kLinePairsPerBand - 1 - k) * kLineAddressUnits;
}

// Approximate inverse of EncodeLine for inspecting stored lines: turns 1440 stored bytes back into
// a BMP row. It cannot be exact: the encoder truncates, clamps to 16..235 and shares one chroma
// sample between the two pixels of a pair. For content whose luma and chroma lie inside the
// clamping range, and whose pairs have little colour difference, each channel comes back within a
// few counts (the tests pin the bound).
void DecodeLine(std::span<const uint8_t, kEncodedLineSize> encoded, BmpLine& out);

}  // namespace qvx
