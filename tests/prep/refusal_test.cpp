// The loader's words for each requirement a BMP fails, from the header check's verdict.
#include <gtest/gtest.h>

#include "prep/bmp_explain.h"

namespace qvx::test {
namespace {

using prep::BmpRefusalReasons;

struct Header {
  uint32_t size = 1244214, data_at = 54, info = 40;
  int32_t width = 720, height = 576;
  uint16_t bits = 24;
  uint32_t compression = 0;

  BmpHeader Bytes() const {
    BmpHeader h{'B', 'M'};
    const auto put = [&h](size_t at, uint32_t v, int n) {
      for (int i = 0; i < n; ++i)
        h[at + size_t(i)] = uint8_t(v >> (8 * i));
    };
    put(2, size, 4);
    put(10, data_at, 4);
    put(14, info, 4);
    put(18, uint32_t(width), 4);
    put(22, uint32_t(height), 4);
    put(26, 1, 2);
    put(28, bits, 2);
    put(30, compression, 4);
    return h;
  }
};

std::string Reasons(const Header& h, BmpKind kind = BmpKind::kPicture, uint64_t length = 0) {
  const BmpHeader bytes = h.Bytes();
  return prep::JoinReasons(BmpRefusalReasons(bytes, length ? length : h.size, kind));
}

TEST(PrepRefusal, EachFailingFieldInWords) {
  EXPECT_EQ(Reasons({}), "");
  EXPECT_EQ(Reasons({.size = 1036854, .height = 480}), "");
  // ImageMagick's default: the pixels at 138 behind a BITMAPV5 header.
  EXPECT_EQ(Reasons({.size = 1244298, .data_at = 138, .info = 124}),
            "a 124-byte BITMAPV5 header (the generator takes the 40-byte header, declared size "
            "1244214)");
  EXPECT_EQ(
      Reasons({.size = 155574 + 68, .data_at = 122, .info = 108, .height = 72}, BmpKind::kBanner),
      "a 108-byte BITMAPV4 header (the generator takes the 40-byte header, declared size "
      "155574)");
  EXPECT_EQ(Reasons({.size = 1244214 + 4, .data_at = 58}),
            "pixel data at byte 58 (the generator takes it at byte 54, declared size 1244214)");
  EXPECT_EQ(Reasons({.size = 0}, BmpKind::kPicture, 1244214),
            "declared size 0 (the generator takes 1244214)");
  // A wrong width, height or depth explains the size itself.
  EXPECT_EQ(Reasons({.size = 54 + 720 * 576 * 4, .bits = 32}),
            "32 bits per pixel (the generator takes 24)");
  EXPECT_EQ(Reasons({.height = -576}),
            "top-down rows (the generator takes bottom-up rows, a positive height)");
  EXPECT_EQ(Reasons({.size = 54 + 1024 * 768 * 3, .width = 1024, .height = 768}),
            "width 1024 (the generator takes 720) and height 768 (a picture is 576 or 480 lines)");
  EXPECT_EQ(Reasons({}, BmpKind::kBanner), "height 576 (a banner is 72 lines)");
  EXPECT_EQ(Reasons({.height = -600}),
            "top-down rows (the generator takes bottom-up rows, a positive height) and height 600 "
            "(a picture is 576 or 480 lines)");
  EXPECT_EQ(Reasons({.compression = 3}),
            "BI_BITFIELDS compression (the generator takes uncompressed pixels)");
  EXPECT_EQ(Reasons({.size = 60000, .data_at = 1078, .bits = 8, .compression = 1}),
            "pixel data at byte 1078 (the generator takes it at byte 54, declared size 1244214), 8 "
            "bits per pixel (the generator takes 24) and RLE8 compression (the generator takes "
            "uncompressed pixels)");
}

TEST(PrepRefusal, FilesThatAreNoBmpOrTooShort) {
  BmpHeader png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  EXPECT_EQ(prep::JoinReasons(BmpRefusalReasons(png, 5000, BmpKind::kPicture)),
            "a PNG image, not a BMP file");
  EXPECT_EQ(prep::ImageFormatOf(png), "PNG");
  const BmpHeader text{'h', 'e', 'l', 'l', 'o'};
  EXPECT_EQ(prep::JoinReasons(BmpRefusalReasons(text, 5000, BmpKind::kBanner)),
            "not a BMP file (it does not start with \"BM\")");
  EXPECT_EQ(prep::JoinReasons(BmpRefusalReasons(text, 5, BmpKind::kBanner)),
            "only 5 bytes, too short for the 54-byte header");
  EXPECT_EQ(Reasons({}, BmpKind::kPicture, 100000),
            "100000 bytes, shorter than the 1244214 its header declares");
}

}  // namespace
}  // namespace qvx::test
