// Reading a channel's amplitude text (dBFS) into the gain of its tone.
#include "encode/amplitude.h"

#include <array>
#include <charconv>
#include <cmath>
#include <string>

#include "encode/c_number.h"

namespace qvx {
namespace {

// The value as printf("%.3f") prints it, without the process locale's decimal separator.
std::string FormatThreeDecimals(double value) {
  std::array<char, 400> buffer;  // the largest double has 309 integral digits
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                    std::chars_format::fixed, 3);
  return std::string(buffer.data(), result.ptr);
}

}  // namespace

AmplitudeReading ParseAmplitude(std::string_view text) {
  const double value = ReadCNumber(text);
  // A NaN would pass "not above zero" and reach the sample conversion, so it is refused as well.
  if (value > 0.0 || std::isnan(value)) {
    return {false, value, std::string(), 0.0};
  }
  const double x = value / 20 * -1;
  const double gain = 1 / std::pow(10.0, x);  // -inf dBFS gives 1 / inf = 0, silence
  return {true, value, FormatThreeDecimals(value), gain};
}

}  // namespace qvx
