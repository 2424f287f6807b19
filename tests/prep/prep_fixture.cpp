#include "tests/prep/prep_fixture.h"

#include <cstdlib>

#include "encode/bmp_check.h"
#include "tests/support/test_files.h"

namespace qvx::test {

std::string SaveImage(const QImage& image, const std::string& name, int quality) {
  const std::string path = TempDir() + "/" + name;
  EXPECT_TRUE(image.save(QString::fromStdString(path), nullptr, quality)) << path;
  return path;
}

Rgb PreparedBmp::At(int x, int y) const {
  const int height = prepared.frame.height;
  const uint8_t* px =
      prepared.bmp.data() + 54 + (size_t(height - 1 - y) * 720 + size_t(x)) * 3;  // bottom-up
  return {px[2], px[1], px[0]};
}

PreparedBmp Prepare(const std::string& path, const prep::PrepOptions& options) {
  PreparedBmp out{prep::PreparePicture(path, options)};
  EXPECT_TRUE(IsGeneratorBmp(out.prepared.bmp, out.prepared.frame.height));
  return out;
}

::testing::AssertionResult IsGeneratorBmp(const std::vector<uint8_t>& bmp, int height) {
  const uint32_t size = 54 + 720u * uint32_t(height) * 3;
  // "BM", size, reserved, data at 54, 40-byte header, 720 wide, `height` up, 1 plane, 24 bits,
  // uncompressed, the image's size.
  std::vector<uint8_t> expected = {'B',
                                   'M',
                                   uint8_t(size),
                                   uint8_t(size >> 8),
                                   uint8_t(size >> 16),
                                   0,
                                   0,
                                   0,
                                   0,
                                   0,
                                   54,
                                   0,
                                   0,
                                   0,
                                   40,
                                   0,
                                   0,
                                   0,
                                   0xD0,
                                   2,
                                   0,
                                   0,
                                   uint8_t(height),
                                   uint8_t(height >> 8),
                                   0,
                                   0,
                                   1,
                                   0,
                                   24,
                                   0,
                                   0,
                                   0,
                                   0,
                                   0};
  const uint32_t image = size - 54;
  for (int i = 0; i < 4; ++i)
    expected.push_back(uint8_t(image >> (8 * i)));
  if (bmp.size() != size)
    return ::testing::AssertionFailure() << bmp.size() << " bytes, not " << size;
  if (!std::equal(expected.begin(), expected.end(), bmp.begin()))
    return ::testing::AssertionFailure() << "the header differs from the generator's";
  qvx::BmpHeader header{};
  std::copy_n(bmp.begin(), 54, header.begin());
  const BmpVerdict verdict = ValidateBmpHeader(header);
  if (!(height == 72 ? verdict.BannerAcceptable : verdict.PictureAcceptable))
    return ::testing::AssertionFailure() << "the check refuses it";
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult Near(const Rgb& got, const Rgb& expected, int tolerance) {
  for (size_t c = 0; c < 3; ++c) {
    if (std::abs(got[c] - expected[c]) > tolerance) {
      return ::testing::AssertionFailure()
             << "(" << got[0] << "," << got[1] << "," << got[2] << ") is not (" << expected[0]
             << "," << expected[1] << "," << expected[2] << ") within " << tolerance;
    }
  }
  return ::testing::AssertionSuccess();
}

}  // namespace qvx::test
