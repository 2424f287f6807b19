// Reading an audio channel's amplitude text (dBFS) into the gain of its tone.
#pragma once

#include <string>
#include <string_view>

namespace qvx {

// The outcome of reading one channel's amplitude text.
struct AmplitudeReading {
  bool accepted;
  double value;         // dBFS as read
  std::string display;  // value as "%.3f" prints it, to be written back; empty when refused
  double gain;          // 10^(value/20); 0 when refused
};

// Reads the text as atof does in the "C" locale, independent of the process locale. A value above
// 0 dBFS, or one that is not a number, is refused.
AmplitudeReading ParseAmplitude(std::string_view text);

}  // namespace qvx
