#include "encode/line_encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace qvx {
namespace {

struct PairCase {
  const char* name;
  std::array<uint8_t, 6> bgr;     // B0 G0 R0 B1 G1 R1
  std::array<uint8_t, 4> stored;  // Cb Y0 Cr Y1
};

// Known-good conversions of pixel pairs, worked out by hand from the integer formulas.
const PairCase kPairs[] = {
    {"black", {0, 0, 0, 0, 0, 0}, {128, 16, 128, 16}},
    {"white, Y 253 clamped", {255, 255, 255, 255, 255, 255}, {129, 235, 129, 235}},
    {"red, Cr 258 clamped", {0, 0, 255, 0, 0, 255}, {85, 76, 235, 76}},
    {"green", {0, 255, 0, 0, 255, 0}, {42, 149, 19, 149}},
    {"blue, Cb 258 clamped", {255, 0, 0, 255, 0, 0}, {235, 28, 108, 28}},
    {"grey, each term floored alone", {128, 128, 128, 128, 128, 128}, {128, 127, 128, 127}},
    {"white then black, chroma of the sum", {255, 255, 255, 0, 0, 0}, {129, 235, 129, 16}},
    {"yellow, Cb -1 clamped", {0, 255, 255, 0, 255, 255}, {16, 225, 149, 225}},
    {"dark mixed pair", {10, 20, 30, 50, 60, 70}, {122, 21, 134, 61}},
};

std::array<uint8_t, 4> Stored(const YCbCrPair& c) {
  return {c.Cb, c.Y0, c.Cr, c.Y1};
}

TEST(EncLineEncoder, ConvertsKnownPixelPairs) {
  for (const PairCase& c : kPairs) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Stored(ConvertPixelPair(c.bgr)), c.stored);
  }
}

TEST(EncLineEncoder, EveryStoredByteLiesIn16To235) {
  std::srand(7);
  for (int n = 0; n < 20000; ++n) {
    std::array<uint8_t, 6> bgr;
    for (auto& b : bgr)
      b = static_cast<uint8_t>(std::rand() % 3 == 0 ? 255 * (std::rand() % 2) : std::rand() % 256);
    for (uint8_t v : Stored(ConvertPixelPair(bgr))) {
      ASSERT_GE(v, 16);
      ASSERT_LE(v, 235);
    }
  }
}

TEST(EncLineEncoder, LaysOutALineAsPairGroupsThenZeroPadding) {
  BmpLine line{};
  for (size_t p = 0; p < 360; ++p) {
    const auto& bgr = kPairs[p % std::size(kPairs)].bgr;
    std::copy(bgr.begin(), bgr.end(), line.begin() + 6 * p);
  }
  LineBuffer out;
  out.fill(0xAA);  // stale content from an earlier line must not survive
  EncodeLine(line, out);
  for (size_t p = 0; p < 360; ++p) {
    SCOPED_TRACE(p);
    const auto& want = kPairs[p % std::size(kPairs)].stored;
    EXPECT_TRUE(std::equal(want.begin(), want.end(), out.begin() + 4 * p));
  }
  EXPECT_TRUE(std::all_of(out.begin() + 1440, out.end(), [](uint8_t b) { return b == 0; }));
}

TEST(EncLineEncoder, PairsDoNotShareChroma) {
  // A red pair followed by a blue pair: each group has its own pair's chroma.
  BmpLine line{};
  line[2] = line[5] = 255;  // pair 0 red
  line[6] = line[9] = 255;  // pair 1 blue
  LineBuffer out;
  EncodeLine(line, out);
  EXPECT_EQ(
      (std::array<uint8_t, 8>{out[0], out[1], out[2], out[3], out[4], out[5], out[6], out[7]}),
      (std::array<uint8_t, 8>{85, 76, 235, 76, 235, 28, 108, 28}));
  // The remaining black pairs.
  EXPECT_EQ(out[8], 128);
  EXPECT_EQ(out[9], 16);
  EXPECT_EQ(out[1436], 128);
  EXPECT_EQ(out[1439], 16);
}

TEST(EncLineAddress, PlacesPairsFromTheBandsLastPositionDown) {
  EXPECT_EQ(LineAddress(0, 0), 25200u);
  EXPECT_EQ(LineAddress(0, 35), 0u);
  EXPECT_EQ(LineAddress(0x00123456, 0), 0x00123456u + 25200u);
  EXPECT_EQ(LineAddress(0x00123456, 35), 0x00123456u);
  EXPECT_EQ(LineAddress(100000, 34), 100720u);
  EXPECT_EQ(LineAddress(100000, 17), 100000u + 18u * 720u);
  // Unsigned 32-bit arithmetic: a band start near the top wraps instead of overflowing.
  EXPECT_EQ(LineAddress(0xFFFFFF00u, 0), 25200u - 256u);
}

// Smooth content well inside the encoder's range: slow ramps and gentle waves on each channel.
BmpLine SmoothLine(int phase) {
  BmpLine line;
  for (int x = 0; x < 720; ++x) {
    const double f = x / 719.0;
    line[3 * x] = static_cast<uint8_t>(60 + 120 * f);                               // blue
    line[3 * x + 1] = static_cast<uint8_t>(128 + 70 * std::sin(0.02 * x + phase));  // green
    line[3 * x + 2] = static_cast<uint8_t>(200 - 140 * f * f);                      // red
  }
  return line;
}

TEST(EncLineDecoder, RecoversSmoothContentWithinThreeCounts) {
  int worst = 0;
  for (int phase = 0; phase < 8; ++phase) {
    const BmpLine original = SmoothLine(phase);
    LineBuffer stored;
    EncodeLine(original, stored);
    BmpLine decoded;
    DecodeLine(std::span<const uint8_t, 1440>(stored.data(), 1440), decoded);
    for (size_t i = 0; i < original.size(); ++i) {
      worst = std::max(worst, std::abs(int{decoded[i]} - int{original[i]}));
    }
  }
  EXPECT_LE(worst, 3);
}

TEST(EncLineDecoder, RecoversUniformPairsWithinThreeCounts) {
  // Pairs of equal pixels lose nothing to the shared chroma, only to truncation.
  int worst = 0;
  for (int b = 40; b <= 200; b += 8) {
    for (int g = 40; g <= 200; g += 8) {
      for (int r = 40; r <= 200; r += 8) {
        const std::array<uint8_t, 6> bgr = {uint8_t(b), uint8_t(g), uint8_t(r),
                                            uint8_t(b), uint8_t(g), uint8_t(r)};
        const YCbCrPair c = ConvertPixelPair(bgr);
        std::array<uint8_t, 1440> stored{};
        stored[0] = c.Cb;
        stored[1] = c.Y0;
        stored[2] = c.Cr;
        stored[3] = c.Y1;
        BmpLine decoded;
        DecodeLine(stored, decoded);
        for (size_t i = 0; i < 6; ++i) {
          worst = std::max(worst, std::abs(int{decoded[i]} - int{bgr[i]}));
        }
      }
    }
  }
  EXPECT_LE(worst, 3);
}

TEST(EncLineDecoder, ClampsInsteadOfWrapping) {
  std::array<uint8_t, 1440> stored;
  for (size_t p = 0; p < 360; ++p) {
    // Alternately every stored value at its top and at its bottom.
    std::fill_n(stored.begin() + 4 * p, 4, p % 2 == 0 ? 235 : 16);
  }
  BmpLine out;
  DecodeLine(stored, out);
  EXPECT_EQ(out[0], 255);  // bright pair: blue and red overshoot
  EXPECT_EQ(out[2], 255);
  EXPECT_EQ(out[6], 0);  // dark pair: blue and red undershoot
  EXPECT_EQ(out[8], 0);
}

TEST(EncLineDecoder, MapsGreyNearlyBackToGrey) {
  std::array<uint8_t, 1440> stored;
  for (size_t p = 0; p < 360; ++p) {
    stored[4 * p] = 128;  // what mid-grey 128 encodes to
    stored[4 * p + 1] = 127;
    stored[4 * p + 2] = 128;
    stored[4 * p + 3] = 127;
  }
  BmpLine out;
  DecodeLine(stored, out);
  for (uint8_t v : out)
    ASSERT_NEAR(v, 128, 1);
}

}  // namespace
}  // namespace qvx
