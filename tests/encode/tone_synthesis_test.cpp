#include "encode/tone_synthesis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <limits>

#include "encode/amplitude.h"

namespace qvx {
namespace {

using Bytes = std::array<uint8_t, 4>;

ChannelWords Synth(int channel, int selection, double gain) {
  ChannelWords words;
  SynthesizeChannel(channel, {TonePeriod(selection), gain}, words);
  return words;
}

int Sample(const AudioWord& w) {
  const int raw = (w[1] << 16) | (w[2] << 8) | w[3];
  return raw >= 0x80000 ? raw - 0x100000 : raw;
}

constexpr int k1000Hz = 12;
constexpr int k16000Hz = 26;

TEST(EncToneTable, HoldsTheFrequencyListInOrder) {
  const char* labels[] = {"Silence", "50Hz",   "100Hz",  "150Hz",  "200Hz",   "250Hz",  "300Hz",
                          "400Hz",   "500Hz",  "600Hz",  "750Hz",  "800Hz",   "1000Hz", "1200Hz",
                          "1500Hz",  "1600Hz", "2000Hz", "2400Hz", "3000Hz",  "3200Hz", "4000Hz",
                          "4800Hz",  "6000Hz", "8000Hz", "9600Hz", "12000Hz", "16000Hz"};
  const float periods[] = {0,  960, 480, 320, 240, 192, 160, 120, 96, 80, 64, 60, 48, 40,
                           32, 30,  24,  20,  16,  15,  12,  10,  8,  6,  5,  4,  3};
  ASSERT_EQ(ToneTable.size(), std::size(labels));
  for (size_t i = 0; i < ToneTable.size(); ++i) {
    EXPECT_EQ(ToneTable[i].label, labels[i]);
    EXPECT_EQ(ToneTable[i].period, periods[i]);
    EXPECT_EQ(TonePeriod(static_cast<int>(i)), periods[i]);
  }
}

TEST(EncToneTable, SelectionsOutsideTheListAreSilence) {
  for (int selection : {-1, 0, 27, 100, INT_MIN, INT_MAX}) {
    EXPECT_EQ(TonePeriod(selection), 0.0f) << selection;
  }
}

TEST(EncSynthesis, SilenceAtStartUpSettings) {
  const AmplitudeReading a = ParseAmplitude("0.0");
  ASSERT_TRUE(a.accepted);
  EXPECT_EQ(a.display, "0.000");
  const Bytes want[3][4] = {
      {{0x09, 0, 0, 0}, {0x39, 0, 0, 0}, {0x59, 0, 0, 0}, {0x69, 0, 0, 0}},
      {{0x00, 0, 0, 0}, {0x30, 0, 0, 0}, {0x50, 0, 0, 0}, {0x60, 0, 0, 0}},
      {{0x18, 0, 0, 0}, {0x28, 0, 0, 0}, {0x48, 0, 0, 0}, {0x78, 0, 0, 0}},
  };
  for (int ch = 1; ch <= 4; ++ch) {
    const ChannelWords words = Synth(ch, 0, a.gain);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(words[i], want[i][ch - 1]) << "channel " << ch << " frame " << i;
    }
    for (const AudioWord& w : words)
      ASSERT_EQ(Sample(w), 0);
  }
}

TEST(EncSynthesis, FullScale1000HzClipsBothPeaks) {
  const ChannelWords w = Synth(1, k1000Hz, 1.0);
  EXPECT_EQ(w[0], (Bytes{0x09, 0x00, 0x00, 0x00}));
  EXPECT_EQ(w[12], (Bytes{0x10, 0x07, 0xFF, 0xFF}));  // +524287
  EXPECT_EQ(w[24], (Bytes{0x00, 0x00, 0x00, 0x00}));
  EXPECT_EQ(w[36], (Bytes{0x00, 0x08, 0x00, 0x01}));  // -524287, never -524288
}

TEST(EncSynthesis, Minus6dBAt1000Hz) {
  const AmplitudeReading a = ParseAmplitude("-6");
  ASSERT_TRUE(a.accepted);
  EXPECT_EQ(Synth(1, k1000Hz, a.gain)[12], (Bytes{0x10, 0x04, 0x02, 0x6E}));
}

TEST(EncSynthesis, FullScale16000Hz) {
  const ChannelWords w = Synth(1, k16000Hz, 1.0);
  EXPECT_EQ(w[1], (Bytes{0x10, 0x06, 0xED, 0x9E}));
  EXPECT_EQ(w[2], (Bytes{0x08, 0x09, 0x12, 0x61}));
}

TEST(EncSynthesis, TinyGainFloorsANegativeSineToMinusOne) {
  const AmplitudeReading a = ParseAmplitude("-200");
  ASSERT_TRUE(a.accepted);
  EXPECT_NEAR(a.gain, 1e-10, 1e-24);
  const ChannelWords w = Synth(1, k1000Hz, a.gain);
  EXPECT_EQ(Sample(w[0]), 0);
  EXPECT_EQ(Sample(w[12]), 0);
  EXPECT_EQ(Sample(w[24]), 0);
  EXPECT_EQ(w[36], (Bytes{0x00, 0x0F, 0xFF, 0xFF}));
}

TEST(EncSynthesis, UsesTheTenDigitValueOfPi) {
  // At 50Hz, frames 80 and 880 are the sine of 30 and 330 degrees: one half exactly with the full
  // value of pi, a hair less with 3.1415926535, so the floor lands one count lower.
  const ChannelWords w = Synth(1, 1, 1.0);
  EXPECT_EQ(w[80], (Bytes{0x00, 0x03, 0xFF, 0xFF}));   // +262143
  EXPECT_EQ(w[880], (Bytes{0x10, 0x0B, 0xFF, 0xFF}));  // -262145
}

TEST(EncSynthesis, GainIsClampedToZeroToOne) {
  EXPECT_EQ(Synth(2, k1000Hz, 2.0), Synth(2, k1000Hz, 1.0));
  const ChannelWords silence = Synth(3, 0, 1.0);
  EXPECT_EQ(Synth(3, k1000Hz, -0.5), silence);
  EXPECT_EQ(Synth(3, k1000Hz, std::numeric_limits<double>::quiet_NaN()), silence);
  // A period that is not a number cannot reach the sample conversion either.
  ChannelWords words;
  SynthesizeChannel(3, {std::numeric_limits<float>::quiet_NaN(), 1.0}, words);
  EXPECT_EQ(words, silence);
}

TEST(EncSynthesis, SamplesStayInTwentyBitRangeForEveryTone) {
  for (int selection = 1; selection <= 26; ++selection) {
    const ChannelWords w = Synth(4, selection, 1.0);
    int low = 0, high = 0;
    for (const AudioWord& word : w) {
      ASSERT_EQ(word[1] & 0xF0, 0) << selection;
      low = std::min(low, Sample(word));
      high = std::max(high, Sample(word));
    }
    EXPECT_GE(low, -524287) << selection;
    EXPECT_LE(high, 524287) << selection;
    EXPECT_GT(high, 400000) << selection;  // a full-scale tone reaches near its peak
  }
}

TEST(EncSynthesis, EveryWordHasEvenParity) {
  for (int ch = 1; ch <= 4; ++ch) {
    for (int selection : {0, 1, 5, 12, 19, 24, 26}) {
      for (double gain : {1.0, 0.5011872336272722, 0.123, 1e-10, 0.0}) {
        for (const AudioWord& w : Synth(ch, selection, gain)) {
          const int ones =
              std::popcount(w[0]) + std::popcount(w[1]) + std::popcount(w[2]) + std::popcount(w[3]);
          ASSERT_EQ(ones % 2, 0) << "ch " << ch << " sel " << selection << " gain " << gain;
        }
      }
    }
  }
}

TEST(EncSynthesis, ChannelsShareStatusAndBlockStartBits) {
  const ChannelWords words[4] = {Synth(1, 12, 1.0), Synth(2, 26, 0.3), Synth(3, 0, 1.0),
                                 Synth(4, 19, 0.001)};
  for (int i = 0; i < kAudioFrames; ++i) {
    const uint8_t flags = words[0][i][0] & 0x09;
    EXPECT_EQ(flags & 0x01, i % 192 == 0 ? 1 : 0) << i;
    for (int ch = 0; ch < 4; ++ch) {
      const uint8_t b0 = words[ch][i][0];
      ASSERT_EQ(b0 & 0x09, flags) << "channel " << ch + 1 << " frame " << i;
      ASSERT_EQ((b0 >> 5) & 0x03, ch) << i;
      ASSERT_EQ(b0 & 0x86, 0) << i;  // bits 1, 2 and 7 are always 0
    }
  }
}

TEST(EncChannelStatus, StatusBitIsSetInExactlyTheListedFrames) {
  const int set[] = {0, 2, 7, 11, 15, 19, 21, 55, 63, 71, 79, 87, 95, 103, 111, 184, 185, 186, 187};
  for (int i = 0; i < kAudioFrames; ++i) {
    const bool listed = std::find(std::begin(set), std::end(set), i % 192) != std::end(set);
    EXPECT_EQ(ChannelStatusBit(i), listed) << i;
  }
}

TEST(EncChannelStatus, LastByteIsTheCrccOfTheOthers) {
  // AES3 CRCC: x^8 + x^4 + x^3 + x^2 + 1, register preset to ones, bits fed least significant
  // first; shifting right with the bit-reversed polynomial 0xB8 does exactly that.
  uint8_t crc = 0xFF;
  for (size_t i = 0; i < 23; ++i) {
    crc ^= ChannelStatusBlock[i];
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 1) ? static_cast<uint8_t>((crc >> 1) ^ 0xB8) : static_cast<uint8_t>(crc >> 1);
    }
  }
  EXPECT_EQ(crc, 0x0F);
  EXPECT_EQ(ChannelStatusBlock[23], crc);
  EXPECT_EQ(ChannelStatusBlock[0], 0x85);  // professional, 48 kHz
  EXPECT_EQ(ChannelStatusBlock[2], 0x28);  // 20-bit words
}

}  // namespace
}  // namespace qvx
