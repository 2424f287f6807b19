#include "encode/bmp_check.h"

namespace qvx {
namespace {

uint16_t Le16(const BmpHeader& h, size_t at) {
  return static_cast<uint16_t>(h[at] | (h[at + 1] << 8));
}

uint32_t Le32(const BmpHeader& h, size_t at) {
  return static_cast<uint32_t>(h[at]) | (static_cast<uint32_t>(h[at + 1]) << 8) |
         (static_cast<uint32_t>(h[at + 2]) << 16) | (static_cast<uint32_t>(h[at + 3]) << 24);
}

// Byte positions of the fields that are examined.
constexpr size_t kSizeAt = 2;
constexpr size_t kWidthAt = 18;
constexpr size_t kHeightAt = 22;
constexpr size_t kBitCountAt = 28;
constexpr size_t kCompressionAt = 30;

}  // namespace

uint32_t DeclaredFileSize(const BmpHeader& header) {
  return Le32(header, kSizeAt);
}

uint32_t FailedBmpRequirements(const BmpHeader& header, BmpKind kind) {
  if (header[0] != 0x42 || header[1] != 0x4D)  // "BM"
    return kBmpRuleSignature;
  const bool picture = kind == BmpKind::kPicture;
  uint32_t failed = 0;
  const uint32_t size = DeclaredFileSize(header);
  if (picture ? size != kPictureFileSize && size != kShortPictureFileSize : size != kBannerFileSize)
    failed |= kBmpRuleDeclaredSize;
  if (Le16(header, kWidthAt) != kBmpWidth)
    failed |= kBmpRuleWidth;
  const uint16_t height = Le16(header, kHeightAt);
  if (picture ? height != kPictureHeight && height != kShortPictureHeight : height != kBannerHeight)
    failed |= kBmpRuleHeight;
  if (Le16(header, kBitCountAt) != 24)
    failed |= kBmpRuleBitCount;
  if (Le16(header, kCompressionAt) != 0)
    failed |= kBmpRuleCompression;
  return failed;
}

BmpVerdict ValidateBmpHeader(const BmpHeader& header) {
  return {FailedBmpRequirements(header, BmpKind::kBanner) == 0,
          FailedBmpRequirements(header, BmpKind::kPicture) == 0};
}

}  // namespace qvx
