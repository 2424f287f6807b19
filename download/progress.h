// The positions of the progress bar that the downloads step through, by name.
#pragma once

#include <array>

namespace qvx::progress {

inline constexpr int kIdle = 0;
// Erasing: a picture's sector i (from 0) shows (i + 1) * kPictureSectorStep, a banner's
// (i + 1) * kBannerSectorStep.
inline constexpr int kPictureSectorStep = 6;
inline constexpr int kBannerSectorStep = 30;
// The four one-second waits after a test pattern's second erase, and the two at its end.
inline constexpr std::array<int, 4> kPatternSettling = {20, 40, 60, 80};
inline constexpr std::array<int, 2> kPatternClosing = {33, 66};
// The audio loop: once its data is computed, then kAudioBlockStep per block sent.
inline constexpr int kAudioComputed = 25;
inline constexpr int kAudioBlockStep = 10;

}  // namespace qvx::progress
