// Refusal reasons.
#include "prep/bmp_explain.h"

#include <cstring>

#include "prep/texts.h"

namespace qvx::prep {
namespace {

uint32_t Le32(const BmpHeader& h, size_t at) {
  return static_cast<uint32_t>(h[at]) | static_cast<uint32_t>(h[at + 1]) << 8 |
         static_cast<uint32_t>(h[at + 2]) << 16 | static_cast<uint32_t>(h[at + 3]) << 24;
}

uint16_t Le16(const BmpHeader& h, size_t at) {
  return static_cast<uint16_t>(h[at] | h[at + 1] << 8);
}

std::string N(int64_t value) {
  return std::to_string(value);
}

// The information header's name by its size, as the BMP versions call them.
std::string InfoHeaderName(uint32_t size) {
  switch (size) {
    case 12:
      return "BITMAPCORE";
    case 16:
    case 64:
      return "OS/2";
    case 52:
      return "BITMAPV2";
    case 56:
      return "BITMAPV3";
    case 108:
      return "BITMAPV4";
    case 124:
      return "BITMAPV5";
    default:
      return "nonstandard";
  }
}

std::string CompressionName(uint32_t compression) {
  switch (compression) {
    case 1:
      return "RLE8";
    case 2:
      return "RLE4";
    case 3:
      return "BI_BITFIELDS";
    case 4:
      return "JPEG";
    case 5:
      return "PNG";
    case 6:
      return "BI_ALPHABITFIELDS";
    default:
      return "type " + N(compression);
  }
}

}  // namespace

std::optional<std::string_view> ImageFormatOf(const BmpHeader& h) {
  const auto starts = [&](const char* magic, size_t at = 0) {
    return std::memcmp(h.data() + at, magic, std::strlen(magic)) == 0;
  };
  if (starts("\x89PNG"))
    return "PNG";
  if (starts("\xFF\xD8\xFF"))
    return "JPEG";
  if (starts("GIF8"))
    return "GIF";
  if (starts("II*") || starts("MM\0*"))
    return "TIFF";
  if (starts("RIFF") && starts("WEBP", 8))
    return "WebP";
  if (starts("<svg") || starts("<?xml"))
    return "SVG";
  return std::nullopt;
}

std::vector<std::string> BmpRefusalReasons(const BmpHeader& h, uint64_t file_size, BmpKind kind) {
  if (file_size < kBmpHeaderSize) {
    return {text::TooShort(file_size, kBmpHeaderSize)};
  }
  const uint32_t failed = FailedBmpRequirements(h, kind);
  if (failed & kBmpRuleSignature) {
    const auto format = ImageFormatOf(h);
    return {format ? text::OtherFormat(*format) : std::string(text::kNotBmp)};
  }
  const bool picture = kind == BmpKind::kPicture;
  const auto width = static_cast<int32_t>(Le32(h, 18));
  const auto height = static_cast<int32_t>(Le32(h, 22));
  const uint32_t declared = DeclaredFileSize(h);
  const uint32_t expected = !picture                             ? kBannerFileSize
                            : Le16(h, 22) == kShortPictureHeight ? kShortPictureFileSize
                                                                 : kPictureFileSize;
  std::vector<std::string> reasons;
  if (failed & kBmpRuleDeclaredSize) {
    const uint32_t info_size = Le32(h, 14);
    const uint32_t data_at = Le32(h, 10);
    if (info_size != 40) {
      reasons.push_back(text::InfoHeader(info_size, InfoHeaderName(info_size), expected));
    } else if (data_at != kBmpHeaderSize) {
      reasons.push_back(text::DataAt(data_at, kBmpHeaderSize, expected));
    } else if ((failed & (kBmpRuleWidth | kBmpRuleHeight | kBmpRuleBitCount)) == 0) {
      // Otherwise the size follows from a wrong width, height or depth, named below.
      reasons.push_back(text::DeclaredSize(declared, expected));
    }
  }
  if (failed & kBmpRuleWidth)
    reasons.push_back(text::Width(width, kBmpWidth));
  if (failed & kBmpRuleHeight) {
    const int64_t rows = height < 0 ? -static_cast<int64_t>(height) : height;
    const bool rows_fit =
        picture ? rows == kPictureHeight || rows == kShortPictureHeight : rows == kBannerHeight;
    if (height < 0)
      reasons.push_back(text::kTopDown);
    if (height >= 0 || !rows_fit)
      reasons.push_back(text::Height(rows, picture));
  }
  if (failed & kBmpRuleBitCount)
    reasons.push_back(text::BitCount(Le16(h, 28)));
  if (failed & kBmpRuleCompression)
    reasons.push_back(text::Compression(CompressionName(Le32(h, 30))));
  if (reasons.empty() && file_size < declared)
    reasons.push_back(text::ShorterThanDeclared(file_size, declared));
  return reasons;
}

std::string JoinReasons(const std::vector<std::string>& reasons) {
  std::string text;
  for (size_t i = 0; i < reasons.size(); ++i) {
    if (i > 0)
      text += i + 1 == reasons.size() ? " and " : ", ";
    text += reasons[i];
  }
  return text;
}

}  // namespace qvx::prep
