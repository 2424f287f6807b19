// The amplitude check over the four channels.
#include "download/amplitude_check.h"

#include "download/text_format.h"
#include "encode/amplitude.h"

namespace qvx {

std::vector<AmplitudeRefusal> RefusedAmplitudes(
    const std::array<std::string, kAudioChannels>& amplitudes) {
  std::vector<AmplitudeRefusal> refused;
  for (int ch = 1; ch <= kAudioChannels; ++ch) {
    if (!ParseAmplitude(amplitudes[static_cast<size_t>(ch - 1)]).accepted)
      refused.push_back({ch, AmplitudeRefusalText(ch)});
  }
  return refused;
}

}  // namespace qvx
