// A copy of the generator's whole flash (the virtual generator's flash file, or a dump in the same
// layout) and what its slots hold: video fields decoded back into images, the audio loop's words
// and samples, the test patterns' bytes.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "device/flash_map.h"
#include "device/protocol.h"
#include "encode/line_encoder.h"
#include "encode/tone_synthesis.h"

namespace qvx::flash {

inline constexpr size_t kFlashImageBytes = size_t{kFlashUnits} * 2;

class FlashImage {
 public:
  // Throws std::invalid_argument unless `bytes` is a whole flash.
  explicit FlashImage(std::vector<uint8_t> bytes);
  // Reads a flash file; throws std::runtime_error when it cannot be read or is not 4 MiB.
  static FlashImage Load(const std::string& path);

  // `bytes` bytes from the address (in two-byte units).
  std::span<const uint8_t> At(uint32_t address, size_t bytes) const;

 private:
  std::vector<uint8_t> bytes_;
};

// A picture or banner: its two fields and its height in image lines.
struct ImageSlot {
  std::string name;  // "Picture 1", "Banner 3", "Countdown"
  uint32_t first_field;
  uint32_t second_field;
  int height;
};

// The 1440 stored bytes of image line y (from the top): line n of the first field is image line
// 2n, line n of the second field image line 2n + 1.
std::span<const uint8_t, kEncodedLineSize> StoredLine(const FlashImage& flash,
                                                      const ImageSlot& slot, int y);

// The image's rows from the top, each decoded back into a BMP row (blue, green, red).
std::vector<BmpLine> DecodeImage(const FlashImage& flash, const ImageSlot& slot);

// The audio loop is stored as its blocks' meaningful bytes one after another from the slot's start:
// frame i, channel c (0..3) at byte 16 i + 4 c.
AudioWord StoredAudioWord(const FlashImage& flash, int frame, int channel);

// The 20-bit two's-complement sample of a word.
int32_t SampleOf(const AudioWord& word);

using AudioSamples = std::array<std::array<int32_t, kAudioChannels>, kAudioFrames>;
AudioSamples DecodeAudio(const FlashImage& flash);

// The 2880 bytes of test pattern 0..15.
std::span<const uint8_t> StoredPattern(const FlashImage& flash, int number);

}  // namespace qvx::flash
