// Reading a number typed by the user the way the C library's atof reads it in the "C" locale,
// whatever locale the process runs in (a GUI may have set one with a decimal comma).
#pragma once

#include <string_view>

namespace qvx {

// Leading white space is skipped, the longest prefix that strtod accepts is converted (decimal
// with exponent, hexadecimal, inf, nan), the rest is ignored, and a text without such a prefix
// gives 0.0. Reading stops at an embedded NUL, as it would in a C string.
double ReadCNumber(std::string_view text);

}  // namespace qvx
