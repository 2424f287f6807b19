#include "encode/tone_synthesis.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <stdexcept>

namespace qvx {

const std::array<uint8_t, 24> ChannelStatusBlock = {0x85, 0x88, 0x28, 0x00, 0x00, 0x00, 0x80, 0x80,
                                                    0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x00, 0x00,
                                                    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0F};

float TonePeriod(int selection) {
  if (selection < 1 || selection >= static_cast<int>(ToneTable.size()))
    return 0.0f;
  return ToneTable[static_cast<size_t>(selection)].period;
}

std::optional<int> ToneRowOf(std::string_view label) {
  for (size_t row = 0; row < ToneTable.size(); ++row) {
    if (ToneTable[row].label == label)
      return static_cast<int>(row);
  }
  return std::nullopt;
}

std::string_view ToneLabel(int row) {
  return row < 0 || row >= static_cast<int>(ToneTable.size())
             ? ToneTable.front().label
             : ToneTable[static_cast<size_t>(row)].label;
}

std::string ToneLabels() {
  std::string labels;
  for (const ToneChoice& choice : ToneTable)
    labels += (labels.empty() ? "" : " ") + std::string(choice.label);
  return labels;
}

bool ChannelStatusBit(int frame) {
  const int k = frame % kStatusBlockFrames;
  return (ChannelStatusBlock[static_cast<size_t>(k / 8)] >> (k % 8)) & 1;
}

namespace {

constexpr double kHalfScale = 524288.0;   // 2^19, the offset-binary zero
constexpr double kFullScale = 1048575.0;  // 2^20 - 1
// The generator's content has always been computed with this value of pi; keep it so that stored
// loops stay bit-identical.
constexpr double kPi = 3.1415926535;

// The offset-binary sample (1..1048575) of frame i; the floor of the scaled sine, limited so that
// the two's-complement sample never reaches -524288.
uint32_t OffsetSample(int i, float period, double gain) {
  const double t = 2.0 * kPi * i / period;
  double v = std::sin(t) * kHalfScale * gain;
  v = kHalfScale + v;
  if (v < 1.0)
    v = 1.0;
  if (v > kFullScale)
    v = kFullScale;
  return static_cast<uint32_t>(v);
}

}  // namespace

void SynthesizeChannel(int channel, ChannelTone tone, ChannelWords& out) {
  double gain = tone.gain;
  if (gain > 1.0)
    gain = 1.0;
  if (!(gain >= 0.0))
    gain = 0.0;  // also catches NaN
  const bool silent = tone.period == 0.0f || std::isnan(tone.period);
  const auto channel_bits = static_cast<uint8_t>(((channel - 1) & 0x03) << 5);

  for (int i = 0; i < kAudioFrames; ++i) {
    AudioWord& w = out[static_cast<size_t>(i)];
    w = {0, 0, 0, 0};
    if (!silent) {
      const uint32_t n = OffsetSample(i, tone.period, gain);
      w[1] = static_cast<uint8_t>(((n >> 16) & 0x0F) ^ 0x08);  // offset binary to two's complement
      w[2] = static_cast<uint8_t>((n >> 8) & 0xFF);
      w[3] = static_cast<uint8_t>(n & 0xFF);
    }
    w[0] = channel_bits;
    if (ChannelStatusBit(i))
      w[0] |= 0x08;
    if (i % kStatusBlockFrames == 0)
      w[0] |= 0x01;
    const int ones =
        std::popcount(w[0]) + std::popcount(w[1]) + std::popcount(w[2]) + std::popcount(w[3]);
    if (ones % 2 != 0)
      w[0] |= 0x10;  // even parity over the whole word
  }
}

void PackAudioBlocks(const std::array<ChannelWords, kAudioChannels>& channels, int block,
                     AudioBlock& out) {
  if (block < 0 || block >= kAudioBlocks)
    throw std::out_of_range("audio block out of range");
  out.fill(0);
  const int first = block * kFramesPerAudioBlock;
  const int last = std::min(first + kFramesPerAudioBlock, kAudioFrames);
  size_t at = 0;
  for (int i = first; i < last; ++i) {
    for (const ChannelWords& words : channels) {
      const AudioWord& w = words[static_cast<size_t>(i)];
      for (uint8_t byte : w)
        out[at++] = byte;
    }
  }
}

}  // namespace qvx
