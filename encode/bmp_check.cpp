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

BmpVerdict ValidateBmpHeader(const BmpHeader& header) {
  // Each step can only lower a flag that the signature raised.
  const bool signature = header[0] == 0x42 && header[1] == 0x4D;  // "BM"
  BmpVerdict v{signature, signature};

  const uint32_t size = DeclaredFileSize(header);
  if (size != kBannerFileSize)
    v.BannerAcceptable = false;
  if (size != kPictureFileSize && size != kShortPictureFileSize)
    v.PictureAcceptable = false;

  if (Le16(header, kWidthAt) != kBmpWidth)
    v = {false, false};

  const uint16_t height = Le16(header, kHeightAt);
  if (height != kBannerHeight)
    v.BannerAcceptable = false;
  if (height != kPictureHeight && height != kShortPictureHeight)
    v.PictureAcceptable = false;

  if (Le16(header, kBitCountAt) != 24)
    v = {false, false};
  if (Le16(header, kCompressionAt) != 0)
    v = {false, false};
  return v;
}

}  // namespace qvx
