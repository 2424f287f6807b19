#include "encode/bmp_check.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace qvx {
namespace {

void Put16(BmpHeader& h, size_t at, uint32_t v) {
  h[at] = static_cast<uint8_t>(v);
  h[at + 1] = static_cast<uint8_t>(v >> 8);
}

void Put32(BmpHeader& h, size_t at, uint32_t v) {
  Put16(h, at, v);
  Put16(h, at + 2, v >> 16);
}

// A complete 54-byte header as a paint program writes it.
BmpHeader MakeHeader(int32_t width, int32_t height, uint16_t bits = 24, uint32_t compression = 0,
                     uint32_t file_size = 0, uint32_t info_size = 40) {
  BmpHeader h{};
  h[0] = 'B';
  h[1] = 'M';
  const uint32_t image = static_cast<uint32_t>(width) *
                         static_cast<uint32_t>(height < 0 ? -height : height) * bits / 8;
  Put32(h, 2, file_size != 0 ? file_size : 54 + image);
  Put32(h, 10, 14 + info_size);
  Put32(h, 14, info_size);
  Put32(h, 18, static_cast<uint32_t>(width));
  Put32(h, 22, static_cast<uint32_t>(height));
  Put16(h, 26, 1);
  Put16(h, 28, bits);
  Put32(h, 30, compression);
  Put32(h, 34, image);
  Put32(h, 38, 2835);
  Put32(h, 42, 2835);
  return h;
}

void ExpectVerdict(const BmpHeader& h, bool banner, bool picture) {
  const BmpVerdict v = ValidateBmpHeader(h);
  EXPECT_EQ(v.BannerAcceptable, banner);
  EXPECT_EQ(v.PictureAcceptable, picture);
}

TEST(EncBmpCheck, AcceptsTheThreeImageKinds) {
  const BmpHeader banner = MakeHeader(720, 72);
  EXPECT_EQ(DeclaredFileSize(banner), 155574u);
  ExpectVerdict(banner, true, false);

  const BmpHeader picture = MakeHeader(720, 576);
  EXPECT_EQ(DeclaredFileSize(picture), 1244214u);
  ExpectVerdict(picture, false, true);

  const BmpHeader short_picture = MakeHeader(720, 480);
  EXPECT_EQ(DeclaredFileSize(short_picture), 1036854u);
  ExpectVerdict(short_picture, false, true);
}

TEST(EncBmpCheck, SizeAndHeightAreTestedIndependently) {
  ExpectVerdict(MakeHeader(720, 480, 24, 0, kPictureFileSize), false, true);
  ExpectVerdict(MakeHeader(720, 576, 24, 0, kShortPictureFileSize), false, true);
  ExpectVerdict(MakeHeader(720, 576, 24, 0, kBannerFileSize), false, false);
  ExpectVerdict(MakeHeader(720, 72, 24, 0, kPictureFileSize), false, false);
  ExpectVerdict(MakeHeader(720, 72, 24, 0, kBannerFileSize + 1), false, false);
  ExpectVerdict(MakeHeader(720, 577, 24, 0, kPictureFileSize), false, false);
}

TEST(EncBmpCheck, RefusesOtherKindsOfBmp) {
  // Stored top-down: the low 16 bits of -576 (0xFDC0) and -72 are not the heights.
  ExpectVerdict(MakeHeader(720, -576, 24, 0, kPictureFileSize), false, false);
  ExpectVerdict(MakeHeader(720, -72, 24, 0, kBannerFileSize), false, false);
  // 256-colour palette: 8 bits per pixel and a different declared size.
  BmpHeader palette = MakeHeader(720, 576, 8, 0, 54 + 1024 + 720 * 576);
  Put32(palette, 10, 1078);
  ExpectVerdict(palette, false, false);
  // Even with a forged picture size, 8 or 32 bits per pixel is refused.
  ExpectVerdict(MakeHeader(720, 576, 8, 0, kPictureFileSize), false, false);
  ExpectVerdict(MakeHeader(720, 576, 32), false, false);
  ExpectVerdict(MakeHeader(720, 72, 32, 0, kBannerFileSize), false, false);
  // RLE (1), and 24 bits with colour masks (BI_BITFIELDS, 3) at the right size.
  ExpectVerdict(MakeHeader(720, 576, 8, 1), false, false);
  ExpectVerdict(MakeHeader(720, 576, 24, 3, kPictureFileSize), false, false);
  // A 108- or 124-byte information header makes the declared size larger.
  ExpectVerdict(MakeHeader(720, 576, 24, 0, kPictureFileSize + 68, 108), false, false);
  ExpectVerdict(MakeHeader(720, 72, 24, 0, kBannerFileSize + 84, 124), false, false);
  // Other widths.
  ExpectVerdict(MakeHeader(721, 72, 24, 0, kBannerFileSize), false, false);
  ExpectVerdict(MakeHeader(640, 480, 24, 0, kShortPictureFileSize), false, false);
}

TEST(EncBmpCheck, RequiresTheBmSignature) {
  for (const auto& sig : {std::array<uint8_t, 2>{'M', 'B'}, std::array<uint8_t, 2>{'B', 'A'},
                          std::array<uint8_t, 2>{'b', 'm'}, std::array<uint8_t, 2>{0, 0}}) {
    BmpHeader banner = MakeHeader(720, 72);
    BmpHeader picture = MakeHeader(720, 576);
    banner[0] = picture[0] = sig[0];
    banner[1] = picture[1] = sig[1];
    ExpectVerdict(banner, false, false);
    ExpectVerdict(picture, false, false);
  }
  ExpectVerdict(BmpHeader{}, false, false);
}

TEST(EncBmpCheck, ExaminesOnlyTheLow16BitsOfWidthHeightAndCompression) {
  ExpectVerdict(MakeHeader(66256, 576, 24, 0, kPictureFileSize), false, true);  // 720 + 65536
  ExpectVerdict(MakeHeader(720, 576 + 65536, 24, 0, kPictureFileSize), false, true);
  ExpectVerdict(MakeHeader(720, 72 + 0x7FFF0000, 24, 0, kBannerFileSize), true, false);
  ExpectVerdict(MakeHeader(720, 576, 24, 0x00010000, kPictureFileSize), false, true);
  // bfSize is compared in full: a difference above bit 15 refuses.
  ExpectVerdict(MakeHeader(720, 576, 24, 0, kPictureFileSize + 0x01000000), false, false);
}

TEST(EncBmpCheck, IgnoresFieldsItDoesNotExamine) {
  // bfReserved, bfOffBits, biSize, biPlanes, biSizeImage, resolutions and colour counts.
  BmpHeader h = MakeHeader(720, 576);
  for (size_t at : {6u, 10u, 14u, 34u, 38u, 42u, 46u, 50u}) {
    Put32(h, at, 0xDEADBEEF);
  }
  Put16(h, 26, 0xBEEF);
  ExpectVerdict(h, false, true);
}

TEST(EncBmpCheck, NamesTheRequirementsEachKindFails) {
  const auto picture = [](const BmpHeader& h) {
    return FailedBmpRequirements(h, BmpKind::kPicture);
  };
  const auto banner = [](const BmpHeader& h) { return FailedBmpRequirements(h, BmpKind::kBanner); };
  EXPECT_EQ(picture(MakeHeader(720, 576)), 0u);
  EXPECT_EQ(banner(MakeHeader(720, 72)), 0u);
  EXPECT_EQ(banner(MakeHeader(720, 576)), kBmpRuleDeclaredSize | kBmpRuleHeight);
  EXPECT_EQ(picture(MakeHeader(720, -576, 24, 0, kPictureFileSize)), kBmpRuleHeight);
  EXPECT_EQ(picture(MakeHeader(1024, 768, 32, 3)), kBmpRuleDeclaredSize | kBmpRuleWidth |
                                                       kBmpRuleHeight | kBmpRuleBitCount |
                                                       kBmpRuleCompression);
  EXPECT_EQ(picture(MakeHeader(720, 576, 24, 0, kPictureFileSize + 84, 124)), kBmpRuleDeclaredSize);
  BmpHeader unsigned_file = MakeHeader(720, 576, 32);
  unsigned_file[0] = 'P';
  EXPECT_EQ(picture(unsigned_file), kBmpRuleSignature);
  EXPECT_EQ(banner(unsigned_file), kBmpRuleSignature);
}

TEST(EncBmpCheck, ReadsDeclaredSizeLittleEndian) {
  BmpHeader h{};
  h[2] = 0x04;
  h[3] = 0x03;
  h[4] = 0x02;
  h[5] = 0x81;
  EXPECT_EQ(DeclaredFileSize(h), 0x81020304u);
}

}  // namespace
}  // namespace qvx
