// Why the generator refuses a file, in words: each requirement of the header check that failed
// (encode/bmp_check.h), with the value found and the one the generator takes, so that a user
// knows what to change. The window keeps its one-line boxes; the command line adds this.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "encode/bmp_check.h"

namespace qvx::prep {

// The failed requirements for `kind`, in the header's order: "a 124-byte BITMAPV5 header (the
// generator takes the 40-byte header, declared size 1244214)", "32 bits per pixel (the generator
// takes 24)", "top-down rows (...)", "width 1024 (...)"; and, as the download also refuses them, a
// file too short for a header or shorter than its header declares. `header` holds the file's
// first bytes (zeros past a shorter file's end). Empty when the file is acceptable.
std::vector<std::string> BmpRefusalReasons(const BmpHeader& header, uint64_t file_size,
                                           BmpKind kind);

// The image format a file that is not a BMP starts like: "PNG", "JPEG", "GIF", "TIFF", "WebP",
// "SVG"; nothing when it is none of these.
std::optional<std::string_view> ImageFormatOf(const BmpHeader& header);

// "a", "a and b", "a, b and c".
std::string JoinReasons(const std::vector<std::string>& reasons);

}  // namespace qvx::prep
