// Control ids of the main window: its buttons, lists, edits and progress bar.
#pragma once

#include <array>

namespace qvx::control {

inline constexpr int kDownloadPicture = 1000;
inline constexpr int kDownloadBanner = 1002;
inline constexpr int kDownloadTestPattern = 1010;
inline constexpr int kDownloadAudio = 1053;
inline constexpr int kDownloadCountdown = 1033;

// The five download buttons, always switched together and in this order.
inline constexpr std::array<int, 5> kDownloadButtons = {
    kDownloadPicture, kDownloadBanner, kDownloadTestPattern, kDownloadAudio, kDownloadCountdown};

inline constexpr int kProgressBar = 1026;
inline constexpr int kPictureCombo = 1058;
inline constexpr int kBannerCombo = 1057;
inline constexpr int kPatternCombo = 1056;

// Audio channels 1 to 4.
inline constexpr std::array<int, 4> kFrequencyCombos = {1047, 1048, 1049, 1050};
inline constexpr std::array<int, 4> kAmplitudeEdits = {1027, 1051, 1052, 1028};

}  // namespace qvx::control
