// Reading an audio channel's amplitude box on arbitrary text: the whole input is the text (NUL
// bytes included: reading stops there, as in a C string).
//
// Invariants: the value is what C's atof reads; the text is refused exactly when that value is
// above 0 or not a number; an accepted value comes back as
// printf's "%.3f" text, which reads back to the value rounded to three decimals and is its own
// display; the gain is 10^(value / 20), within 0..1.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "encode/amplitude.h"

namespace {

void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

bool SameValue(double a, double b) {
  return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const qvx::AmplitudeReading reading = qvx::ParseAmplitude(text);

  const double value = std::atof(text.c_str());
  Require(SameValue(reading.value, value), "the value is what atof reads");
  const bool refuse = value > 0.0 || std::isnan(value);
  Require(reading.accepted == !refuse, "refused exactly when above 0 dBFS or not a number");
  if (refuse) {
    Require(reading.display.empty() && reading.gain == 0.0,
            "a refused value has no display or gain");
    return 0;
  }

  char printed[400];
  std::snprintf(printed, sizeof printed, "%.3f", value);
  Require(reading.display == printed, "the display text is printf's %.3f");
  const double back = std::strtod(reading.display.c_str(), nullptr);
  Require(std::isinf(value) ? back == value
                            : std::fabs(back - value) <= 0.0005 + 1e-12 * std::fabs(value),
          "the display reads back to the value within half a thousandth");
  Require(qvx::ParseAmplitude(reading.display).display == reading.display,
          "the display text is its own display");

  Require(reading.gain >= 0.0 && reading.gain <= 1.0, "the gain lies in 0..1");
  const double gain = 1 / std::pow(10.0, value / 20 * -1);
  Require(SameValue(reading.gain, gain), "the gain is 1 / 10^(-value / 20)");
  return 0;
}
