// Shared pieces of the preparation tests: pictures made with Qt in the test's folder, a file run
// through the preparation, and its pixels read back from the BMP bytes themselves.
#pragma once

#include <gtest/gtest.h>

#include <QImage>
#include <array>
#include <string>
#include <vector>

#include "prep/prepare.h"

namespace qvx::test {

using Rgb = std::array<int, 3>;

// `image` saved in the test's folder under `name` (its suffix picks the format).
std::string SaveImage(const QImage& image, const std::string& name, int quality = -1);

// A prepared file, checked to be exactly the file the generator takes for its kind.
struct PreparedBmp {
  prep::Prepared prepared;
  // Red, green, blue of the pixel in column x, row y from the top, read from the BMP bytes.
  Rgb At(int x, int y) const;
};
PreparedBmp Prepare(const std::string& path, const prep::PrepOptions& options);

// Every byte of the header the generator takes, and the length, for a 720 x height file.
::testing::AssertionResult IsGeneratorBmp(const std::vector<uint8_t>& bmp, int height);

// Each channel within `tolerance` of `expected`.
::testing::AssertionResult Near(const Rgb& got, const Rgb& expected, int tolerance = 0);

}  // namespace qvx::test
