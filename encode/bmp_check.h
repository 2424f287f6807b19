// The check of a BMP file's 54-byte header: can the file be stored as a banner, as a picture, or
// neither. Only uncompressed 24-bit files, 720 pixels wide, bottom-up, with a plain 54-byte header
// and no palette are accepted; the declared file size must be exactly that of such an image.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace qvx {

inline constexpr size_t kBmpHeaderSize = 54;
using BmpHeader = std::array<uint8_t, kBmpHeaderSize>;

inline constexpr uint32_t kBmpWidth = 720;
inline constexpr size_t kBmpRowSize = 2160;  // 720 pixels of 3 bytes, no row padding
inline constexpr uint32_t kBannerHeight = 72;
inline constexpr uint32_t kPictureHeight = 576;
inline constexpr uint32_t kShortPictureHeight = 480;
inline constexpr uint32_t kBannerFileSize = 155574;         // 54 + 720 x 72 x 3
inline constexpr uint32_t kPictureFileSize = 1244214;       // 54 + 720 x 576 x 3
inline constexpr uint32_t kShortPictureFileSize = 1036854;  // 54 + 720 x 480 x 3

struct BmpVerdict {
  bool BannerAcceptable;
  bool PictureAcceptable;
};

// The requirements the check examines, one bit each, for saying which of them a header fails.
enum BmpRequirement : uint32_t {
  kBmpRuleSignature = 1u << 0,     // "BM"
  kBmpRuleDeclaredSize = 1u << 1,  // bfSize is the kind's file size
  kBmpRuleWidth = 1u << 2,         // 720
  kBmpRuleHeight = 1u << 3,        // the kind's height, bottom-up
  kBmpRuleBitCount = 1u << 4,      // 24
  kBmpRuleCompression = 1u << 5,   // none (BI_RGB)
};

enum class BmpKind { kBanner, kPicture };

// Judges the header alone; it never looks at the rest of the file or its real length. Width,
// height and compression are compared on their low 16 bits only, and the declared size and the
// height are tested independently (a 1244214-byte header with height 480 is a picture).
BmpVerdict ValidateBmpHeader(const BmpHeader& header);

// The requirements (BmpRequirement bits) the header fails for `kind`: none exactly when
// ValidateBmpHeader accepts it for that kind. A header without the signature fails that alone.
uint32_t FailedBmpRequirements(const BmpHeader& header, BmpKind kind);

// bfSize, the file size the header declares (bytes 2-5, little-endian).
uint32_t DeclaredFileSize(const BmpHeader& header);

}  // namespace qvx
