// The files the flash reader writes: decoded images as PNG (Qt's image classes on Linux, the
// Windows Imaging Component's encoder on Windows), the audio loop as a WAV file (libsndfile on
// Linux, written here on Windows), test patterns as their raw bytes.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "flash/flash_image.h"

namespace qvx::flash {

inline constexpr int kWavSampleRate = 48000;
inline constexpr int kWavSeconds = 3;

// Each writer throws std::runtime_error naming the file when it cannot be written.

// Rows from the top, each 720 pixels of blue, green, red, as a 720-pixel-wide RGB PNG.
void WritePng(const std::vector<BmpLine>& rows, const std::string& path);

// The loop repeated for `seconds` as a 4-channel 48 kHz WAV of 24-bit samples; the 20-bit samples
// are stored exactly (shifted up by four bits).
void WriteWav(const AudioSamples& loop, int seconds, const std::string& path);

void WriteBytes(std::span<const uint8_t> bytes, const std::string& path);

}  // namespace qvx::flash
