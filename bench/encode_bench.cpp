// Throughput of the content encoders: a whole picture through the line encoder, the whole audio
// loop, and a plain memcpy of a picture's lines as the yardstick for the line encoder.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "encode/line_encoder.h"
#include "encode/tone_synthesis.h"

namespace qvx {
namespace {

constexpr int kPictureLines = 576;

std::vector<BmpLine> PictureRows() {
  std::vector<BmpLine> rows(kPictureLines);
  std::mt19937 random(5120);
  for (BmpLine& row : rows) {
    for (uint8_t& b : row)
      b = static_cast<uint8_t>(random());
  }
  return rows;
}

void PerLineCounters(benchmark::State& state) {
  const auto lines = static_cast<int64_t>(state.iterations()) * kPictureLines;
  state.SetItemsProcessed(lines);
  state.SetBytesProcessed(lines * static_cast<int64_t>(kBmpRowSize));
  state.counters["ns_per_line"] = benchmark::Counter(
      static_cast<double>(lines) * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// 576 rows of 2160 bytes in, 576 blocks of 1536 bytes out, as a picture download encodes them.
void BM_EncodePicture(benchmark::State& state) {
  const std::vector<BmpLine> rows = PictureRows();
  LineBuffer block;
  for (auto _ : state) {
    for (const BmpLine& row : rows) {
      EncodeLine(row, block);
      benchmark::DoNotOptimize(block.data());
      benchmark::ClobberMemory();
    }
  }
  PerLineCounters(state);
}
BENCHMARK(BM_EncodePicture);

// The same data movement with no conversion: each row's first 1536 bytes into the block.
void BM_MemcpyPicture(benchmark::State& state) {
  const std::vector<BmpLine> rows = PictureRows();
  LineBuffer block;
  for (auto _ : state) {
    for (const BmpLine& row : rows) {
      std::memcpy(block.data(), row.data(), block.size());
      benchmark::DoNotOptimize(block.data());
      benchmark::ClobberMemory();
    }
  }
  PerLineCounters(state);
}
BENCHMARK(BM_MemcpyPicture);

// The whole audio loop: four channels of 960 words, then the 11 blocks of 1536 bytes.
void BM_SynthesizeAudioLoop(benchmark::State& state) {
  const ChannelTone tones[kAudioChannels] = {
      {TonePeriod(12), 1.0}, {TonePeriod(26), 0.5}, {TonePeriod(1), 0.1}, {TonePeriod(19), 0.9}};
  std::array<ChannelWords, kAudioChannels> channels;
  AudioBlock block;
  for (auto _ : state) {
    for (int ch = 1; ch <= kAudioChannels; ++ch) {
      SynthesizeChannel(ch, tones[ch - 1], channels[static_cast<size_t>(ch - 1)]);
    }
    for (int b = 0; b < kAudioBlocks; ++b) {
      PackAudioBlocks(channels, b, block);
      benchmark::DoNotOptimize(block.data());
      benchmark::ClobberMemory();
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kAudioFrames);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kAudioBlocks *
                          static_cast<int64_t>(kAudioBlockSize));
}
BENCHMARK(BM_SynthesizeAudioLoop);

}  // namespace
}  // namespace qvx
