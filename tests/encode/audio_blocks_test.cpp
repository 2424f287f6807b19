#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "encode/tone_synthesis.h"

namespace qvx {
namespace {

std::array<ChannelWords, 4> Channels(int s1, int s2, int s3, int s4) {
  std::array<ChannelWords, 4> channels;
  const int selections[4] = {s1, s2, s3, s4};
  for (int ch = 1; ch <= 4; ++ch) {
    SynthesizeChannel(ch, {TonePeriod(selections[ch - 1]), 1.0}, channels[ch - 1]);
  }
  return channels;
}

bool AllZero(const AudioBlock& b, size_t from) {
  return std::all_of(b.begin() + static_cast<std::ptrdiff_t>(from), b.end(),
                     [](uint8_t v) { return v == 0; });
}

TEST(EncAudioBlocks, LastBlockStartsWithFrame900AndEndsInZeros) {
  const auto channels = Channels(0, 0, 0, 0);
  AudioBlock block;
  block.fill(0xAA);
  PackAudioBlocks(channels, 10, block);
  const std::array<uint8_t, 16> frame900 = {0x00, 0, 0, 0, 0x30, 0, 0, 0,
                                            0x50, 0, 0, 0, 0x60, 0, 0, 0};
  EXPECT_TRUE(std::equal(frame900.begin(), frame900.end(), block.begin()));
  EXPECT_TRUE(AllZero(block, 960));
}

TEST(EncAudioBlocks, InterleavesChannelsFrameByFrame) {
  const auto channels = Channels(12, 26, 1, 0);
  for (int b = 0; b < kAudioBlocks; ++b) {
    SCOPED_TRACE(b);
    AudioBlock block;
    block.fill(0xAA);
    PackAudioBlocks(channels, b, block);
    const int frames = b == 10 ? 60 : 90;
    for (int f = 0; f < frames; ++f) {
      for (int ch = 0; ch < 4; ++ch) {
        const AudioWord& w = channels[ch][90 * b + f];
        ASSERT_TRUE(std::equal(w.begin(), w.end(), block.begin() + 16 * f + 4 * ch))
            << "frame " << f << " channel " << ch + 1;
      }
    }
    EXPECT_TRUE(AllZero(block, static_cast<size_t>(frames) * 16));
  }
}

TEST(EncAudioBlocks, FirstBlockBeginsWithTheBlockStartFrame) {
  AudioBlock block;
  PackAudioBlocks(Channels(0, 0, 0, 0), 0, block);
  const std::array<uint8_t, 16> frame0 = {0x09, 0, 0, 0, 0x39, 0, 0, 0,
                                          0x59, 0, 0, 0, 0x69, 0, 0, 0};
  EXPECT_TRUE(std::equal(frame0.begin(), frame0.end(), block.begin()));
  EXPECT_TRUE(AllZero(block, 1440));
}

TEST(EncAudioBlocks, RefusesBlocksOutsideTheLoop) {
  const auto channels = Channels(0, 0, 0, 0);
  AudioBlock block;
  EXPECT_THROW(PackAudioBlocks(channels, -1, block), std::out_of_range);
  EXPECT_THROW(PackAudioBlocks(channels, 11, block), std::out_of_range);
}

}  // namespace
}  // namespace qvx
