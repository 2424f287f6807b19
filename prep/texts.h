// Every text about preparing pictures that a user reads: the words for each requirement a BMP
// fails (the loader's refusals), the loader's hints and notes about --fit, and qvx5120-prep's
// messages. Functions compose the texts that carry a value.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qvx::prep::text {

// What a refused file is.
std::string TooShort(uint64_t bytes, size_t header);  // "only 5 bytes, too short ..."
std::string OtherFormat(std::string_view format);     // "a PNG image, not a BMP file"
inline constexpr const char* kNotBmp = "not a BMP file (it does not start with \"BM\")";
std::string InfoHeader(uint32_t size, std::string_view name, uint32_t expected_size);
std::string DataAt(uint32_t at, size_t header, uint32_t expected_size);
std::string DeclaredSize(uint32_t declared, uint32_t expected);
std::string Width(int64_t width, uint32_t expected);
inline constexpr const char* kTopDown =
    "top-down rows (the generator takes bottom-up rows, a positive height)";
std::string Height(int64_t rows, bool picture);
std::string BitCount(int bits);
std::string Compression(std::string_view name);
std::string ShorterThanDeclared(uint64_t bytes, uint32_t declared);

// The loader: what to do about a refused picture or banner; `prep_command` is "picture" or
// "banner". With `fit_available`, the hint offers --fit too.
std::string PrepHint(std::string_view prep_command, bool fit_available);
inline constexpr const char* kFitModes = "letterbox, crop or stretch";
std::string NotAFit(std::string_view mode);  // --fit "x" is not letterbox, crop or stretch
inline constexpr const char* kFitWithSet =
    "--fit applies to the operations on the command line; a content set gives fit per entry";
inline constexpr const char* kFitUnavailable =
    "--fit is not available in this build of qvx5120-load (it reads pictures with Qt); make the "
    "file with qvx5120-prep";
inline constexpr const char* kNoMemoryFile = "no memory file for the prepared picture";
// "logo.png: prepared in memory for picture 1, letterbox: source ..."
std::string PreparedNote(std::string_view file, std::string_view slot, std::string_view geometry);

}  // namespace qvx::prep::text
