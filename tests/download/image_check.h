// Checks of stored video lines against the test image.
#pragma once

#include <gtest/gtest.h>

#include "encode/line_encoder.h"
#include "tests/support/session.h"

namespace qvx::test {

// Largest difference between a decoded byte and its source for the test image's colours.
inline constexpr int kDecodeTolerance = 3;

// The BMP row of the test image's line `y` (counted from the top).
inline BmpLine SourceRow(int y) {
  BmpLine row{};
  for (int x = 0; x < 720; ++x) {
    for (int c = 0; c < 3; ++c)
      row[size_t(x) * 3 + c] = PixelByte(x, y, c);
  }
  return row;
}

// Field line `n` of the field starting at `field_start` holds exactly the encoding of image line
// `y`, and decodes back close to it.
inline ::testing::AssertionResult LineHolds(const GeneratorControl& generator, uint32_t field_start,
                                            int n, int y) {
  LineBuffer expected{};
  EncodeLine(SourceRow(y), expected);
  const auto stored = generator.FlashAt(field_start + uint32_t(n) * 720, 720);
  if (!std::equal(stored.begin(), stored.end(), expected.begin())) {
    return ::testing::AssertionFailure() << "field line " << n << " does not hold image line " << y;
  }
  BmpLine decoded{};
  DecodeLine(stored.first<1440>(), decoded);
  const BmpLine source = SourceRow(y);
  for (size_t i = 0; i < decoded.size(); ++i) {
    if (std::abs(int(decoded[i]) - int(source[i])) > kDecodeTolerance) {
      return ::testing::AssertionFailure() << "field line " << n << " byte " << i << " decodes to "
                                           << int(decoded[i]) << ", source " << int(source[i]);
    }
  }
  return ::testing::AssertionSuccess();
}

}  // namespace qvx::test
