// Every text the flash viewer's slot checks write (`qvx5120-flash info` and its commands), in one
// place; functions compose the texts that carry a value.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "encode/tone_synthesis.h"

namespace qvx::report_text {

inline constexpr const char* kErased = "erased";
inline constexpr const char* kAudioSlot = "Audio";
inline constexpr const char* kCountdownSlot = "Countdown";

// "576 lines, every byte within 16..235", or what is wrong: "72 lines, 3 of them erased, 5 bytes
// outside 16..235".
std::string ImageDetail(size_t lines, size_t erased_lines, size_t bytes_outside);
// "384 frames, parity and flags as expected; ch 1 peak -6.0 dBFS, ch 2 silent, ...", or the
// counts of words with odd parity and with unexpected flags.
std::string AudioDetail(size_t frames, size_t odd_words, size_t wrong_flag_words,
                        const std::array<int32_t, kAudioChannels>& peaks);
std::string PatternSlot(int number);      // "Pattern 4"
std::string PatternDetail(size_t bytes);  // "2880 bytes"

}  // namespace qvx::report_text
