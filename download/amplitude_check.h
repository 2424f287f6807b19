// The one check of the audio loop's four amplitude texts: the download runs it as it reads the
// channels, the loader runs it on its arguments and on content sets before anything is sent.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "encode/tone_synthesis.h"

namespace qvx {

struct AmplitudeRefusal {
  int channel;          // 1..4
  std::string message;  // the box the window shows for it
};

// Every channel whose text is refused, in channel order; empty when all four are accepted.
std::vector<AmplitudeRefusal> RefusedAmplitudes(
    const std::array<std::string, kAudioChannels>& amplitudes);

}  // namespace qvx
