// The generator's audio loop: 960 frames (20 ms at 48 kHz) of four channels, each sample a 20-bit
// sine value carried in a 32-bit word with its AES3 flags, cut into 11 blocks of 1536 bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qvx {

// One entry of a channel's frequency list: its label and the samples per cycle at 48 kHz.
struct ToneChoice {
  std::string_view label;
  float period;  // 0 = silence
};

// The frequency list in the order the lists show it; the row is the list's selection index.
inline constexpr std::array<ToneChoice, 27> ToneTable{{
    {"Silence", 0.0f}, {"50Hz", 960.0f},  {"100Hz", 480.0f}, {"150Hz", 320.0f}, {"200Hz", 240.0f},
    {"250Hz", 192.0f}, {"300Hz", 160.0f}, {"400Hz", 120.0f}, {"500Hz", 96.0f},  {"600Hz", 80.0f},
    {"750Hz", 64.0f},  {"800Hz", 60.0f},  {"1000Hz", 48.0f}, {"1200Hz", 40.0f}, {"1500Hz", 32.0f},
    {"1600Hz", 30.0f}, {"2000Hz", 24.0f}, {"2400Hz", 20.0f}, {"3000Hz", 16.0f}, {"3200Hz", 15.0f},
    {"4000Hz", 12.0f}, {"4800Hz", 10.0f}, {"6000Hz", 8.0f},  {"8000Hz", 6.0f},  {"9600Hz", 5.0f},
    {"12000Hz", 4.0f}, {"16000Hz", 3.0f},
}};

// Period of a list selection; any index outside 1..26 (-1 = nothing selected) gives silence.
float TonePeriod(int selection);

// The row whose label is exactly `label` ("1000Hz", "Silence"), or nothing.
std::optional<int> ToneRowOf(std::string_view label);
// The label of a list row; rows outside the list read as "Silence", as they sound.
std::string_view ToneLabel(int row);
// Every label in list order, separated by single spaces: for usage texts and messages.
std::string ToneLabels();

struct ChannelTone {
  float period;  // samples per cycle; 0 = silence
  double gain;   // linear, clamped to 0..1 by the synthesis
};

inline constexpr int kAudioChannels = 4;
inline constexpr int kAudioFrames = 960;
inline constexpr int kStatusBlockFrames = 192;
inline constexpr int kAudioBlocks = 11;
inline constexpr int kFramesPerAudioBlock = 90;
inline constexpr size_t kAudioBlockSize = 1536;

// Byte 0: flags (bit 0 block start, bit 3 channel status, bit 4 parity, bits 5-6 channel - 1);
// bytes 1-3: the 20-bit two's-complement sample, most significant first.
using AudioWord = std::array<uint8_t, 4>;
using AudioFrame = std::array<AudioWord, kAudioChannels>;  // channels 1..4
using AudioLoop = std::array<AudioFrame, kAudioFrames>;
using ChannelWords = std::array<AudioWord, kAudioFrames>;
using AudioBlock = std::array<uint8_t, kAudioBlockSize>;

// The professional AES3 channel-status block sent on every channel: 48 kHz, linear, 20-bit words,
// ending with its CRCC. Frame i carries bit (i mod 192), least significant bit of byte 0 first.
extern const std::array<uint8_t, 24> ChannelStatusBlock;

// The channel-status bit that frame i carries.
bool ChannelStatusBit(int frame);

// Fills the 960 words of channel 1..4. The gain is clamped to 0..1 first (a NaN gain is silence).
void SynthesizeChannel(int channel, ChannelTone tone, ChannelWords& out);

// Block 0..10 of the loop: block b holds frames 90b..90b+89 (block 10 frames 900..959), each frame
// the words of channels 1..4; the rest of the 1536 bytes is zero. Throws std::out_of_range for a
// block outside 0..10.
void PackAudioBlocks(const std::array<ChannelWords, kAudioChannels>& channels, int block,
                     AudioBlock& out);

}  // namespace qvx
