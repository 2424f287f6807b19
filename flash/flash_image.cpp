// Reading the slots of a flash image.
#include "flash/flash_image.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace qvx::flash {

FlashImage::FlashImage(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {
  if (bytes_.size() != kFlashImageBytes)
    throw std::invalid_argument("a flash image holds exactly 4 MiB");
}

namespace {

std::runtime_error NotAFlashImage(const std::string& path, uint64_t size) {
  return std::runtime_error(path + ": not a flash image (" +
                            (size > kFlashImageBytes ? "more" : std::to_string(size)) +
                            " bytes, a flash image has " + std::to_string(kFlashImageBytes) + ")");
}

}  // namespace

FlashImage FlashImage::Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    throw std::runtime_error(path + ": cannot be opened for reading");
  // A file that is plainly of another size is refused before 4 MiB are set aside for it; the
  // count of what is read decides for the rest (a pipe, a file that changes meanwhile).
  std::error_code error;
  if (const uint64_t size = std::filesystem::file_size(path, error);
      !error && size != kFlashImageBytes)
    throw NotAFlashImage(path, size);
  std::vector<uint8_t> bytes(kFlashImageBytes + 1);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (in.bad())
    throw std::runtime_error(path + ": cannot be read");
  const auto got = static_cast<size_t>(in.gcount());
  if (got != kFlashImageBytes)
    throw NotAFlashImage(path, got);
  bytes.resize(kFlashImageBytes);
  return FlashImage(std::move(bytes));
}

std::span<const uint8_t> FlashImage::At(uint32_t address, size_t bytes) const {
  const size_t offset = size_t{address} * 2;
  if (offset > bytes_.size() || bytes > bytes_.size() - offset)
    throw std::out_of_range("flash range past the end of the image");
  return std::span(bytes_).subspan(offset, bytes);
}

std::span<const uint8_t, kEncodedLineSize> StoredLine(const FlashImage& flash,
                                                      const ImageSlot& slot, int y) {
  const uint32_t field = y % 2 == 0 ? slot.first_field : slot.second_field;
  const uint32_t address = field + static_cast<uint32_t>(y / 2) * kLineAddressUnits;
  return flash.At(address, kEncodedLineSize).first<kEncodedLineSize>();
}

std::vector<BmpLine> DecodeImage(const FlashImage& flash, const ImageSlot& slot) {
  std::vector<BmpLine> rows(static_cast<size_t>(slot.height));
  for (int y = 0; y < slot.height; ++y)
    DecodeLine(StoredLine(flash, slot, y), rows[static_cast<size_t>(y)]);
  return rows;
}

AudioWord StoredAudioWord(const FlashImage& flash, int frame, int channel) {
  static_assert(kBlockPayload == kFramesPerAudioBlock * sizeof(AudioFrame),
                "the stored part of each audio block is whole frames, so the frames follow on");
  const auto loop = flash.At(AudioSlot().first_address, kAudioFrames * sizeof(AudioFrame));
  const auto at = loop.subspan(static_cast<size_t>(frame) * sizeof(AudioFrame) +
                                   static_cast<size_t>(channel) * sizeof(AudioWord),
                               sizeof(AudioWord));
  return {at[0], at[1], at[2], at[3]};
}

int32_t SampleOf(const AudioWord& word) {
  const int32_t raw = (int32_t{word[1]} & 0x0F) << 16 | int32_t{word[2]} << 8 | word[3];
  return raw >= (1 << 19) ? raw - (1 << 20) : raw;
}

AudioSamples DecodeAudio(const FlashImage& flash) {
  AudioSamples samples{};
  for (int i = 0; i < kAudioFrames; ++i) {
    for (int ch = 0; ch < kAudioChannels; ++ch)
      samples[static_cast<size_t>(i)][static_cast<size_t>(ch)] =
          SampleOf(StoredAudioWord(flash, i, ch));
  }
  return samples;
}

std::span<const uint8_t> StoredPattern(const FlashImage& flash, int number) {
  return flash.At(PatternSlot(number).first_address, kPatternSize);
}

}  // namespace qvx::flash
