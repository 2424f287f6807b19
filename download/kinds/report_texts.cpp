// Texts of the flash viewer's slot checks that carry a value.
#include "download/kinds/report_texts.h"

#include <cmath>
#include <cstdio>

#include "download/kinds/slot_checks.h"

namespace qvx::report_text {
namespace {

// "peak -6.0 dBFS" from the largest magnitude of a 20-bit sample, or "silent".
std::string PeakLevel(int32_t peak) {
  if (peak == 0)
    return "silent";
  char text[32];
  std::snprintf(text, sizeof text, "peak %.1f dBFS", 20.0 * std::log10(peak / 524288.0));
  return text;
}

}  // namespace

std::string ImageDetail(size_t lines, size_t erased_lines, size_t bytes_outside) {
  std::string detail = Plural(lines, "line", "lines");
  if (erased_lines == 0 && bytes_outside == 0)
    return detail + ", every byte within 16..235";
  if (erased_lines > 0)
    detail += ", " + std::to_string(erased_lines) + " of them erased";
  if (bytes_outside > 0)
    detail += ", " + Plural(bytes_outside, "byte", "bytes") + " outside 16..235";
  return detail;
}

std::string AudioDetail(size_t frames, size_t odd_words, size_t wrong_flag_words,
                        const std::array<int32_t, kAudioChannels>& peaks) {
  std::string detail = std::to_string(frames) + " frames, ";
  if (odd_words == 0 && wrong_flag_words == 0) {
    detail += "parity and flags as expected";
  } else {
    detail += Plural(odd_words, "word", "words") + " with odd parity, " +
              Plural(wrong_flag_words, "word", "words") + " with unexpected flags";
  }
  for (size_t ch = 0; ch < peaks.size(); ++ch)
    detail += (ch == 0 ? "; ch " : ", ch ") + std::to_string(ch + 1) + " " + PeakLevel(peaks[ch]);
  return detail;
}

std::string PatternSlot(int number) {
  return "Pattern " + std::to_string(number);
}

std::string PatternDetail(size_t bytes) {
  return std::to_string(bytes) + " bytes";
}

}  // namespace qvx::report_text
