// Small text helpers shared by the capture log and the violation messages.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qvx::vg {

// "F4 06 80 00": two uppercase hex digits per byte, separated by single spaces.
std::string HexBytes(std::span<const uint8_t> bytes);
// printf-style formatting into a std::string. mingw-w64 builds format with its C99-conforming
// printf (%zu, %llX), which the compiler checks as gnu_printf rather than as Microsoft's.
#if defined(__MINGW32__)
std::string Format(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));
#else
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
#endif

}  // namespace qvx::vg
