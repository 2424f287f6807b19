#include "tests/support/content_model.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <tuple>

#include "encode/tone_synthesis.h"

namespace qvx::test {
namespace {

constexpr uint64_t kHeaderBytes = 54;
constexpr uint64_t kRowBytes = 2160;
constexpr size_t kLineBytes = 1440;
constexpr size_t kPatternBytes = 2880;

// The chip's erase sectors that hold each kind of content, in address units.
constexpr uint32_t kMainSector = 0x8000;
constexpr uint32_t kAudioStart = 0x68000;
constexpr uint32_t kCountdownStart = 0x70000;
constexpr uint32_t kBannerStart = 0x80000;
constexpr uint32_t kBannerSpan = 0x10000;  // two main sectors, one field in each
constexpr uint32_t kPictureStart = 0x100000;
constexpr uint32_t kPictureSpan = 0x80000;  // sixteen main sectors, one field in each half

uint32_t Le(const FileImage& file, uint64_t at, int bytes) {
  uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i)
    value = value << 8 | file.At(at + static_cast<uint64_t>(i));
  return value;
}

// Pattern n's sector: the boot block's four sectors for 0..3, main sectors after them.
std::pair<uint32_t, uint32_t> PatternUnits(int n) {
  switch (n) {
    case 0:
      return {0x0000, 0x2000};
    case 1:
      return {0x2000, 0x3000};
    case 2:
      return {0x3000, 0x4000};
    case 3:
      return {0x4000, 0x8000};
    default:
      return {static_cast<uint32_t>(n - 3) * kMainSector,
              static_cast<uint32_t>(n - 2) * kMainSector};
  }
}

// Field starts of an image slot: first field (even lines), second field (odd lines).
std::pair<uint32_t, uint32_t> FieldStarts(const Slot& slot) {
  const auto number = static_cast<uint32_t>(slot.number());
  if (slot.kind() == SlotKind::kPicture) {
    const uint32_t first = kPictureStart + (number - 1) * kPictureSpan;
    return {first, first + kPictureSpan / 2};
  }
  const uint32_t first = slot.kind() == SlotKind::kCountdown
                             ? kCountdownStart
                             : kBannerStart + (number - 1) * kBannerSpan;
  return {first, first + kMainSector};
}

}  // namespace

FileImage FileImage::Whole(std::vector<uint8_t> bytes) {
  FileImage file;
  file.size = bytes.size();
  file.prefix = std::move(bytes);
  return file;
}

Slot Numbered(SlotKind kind, int number) {
  return Slot::FromNumber(kind, number).value();
}

std::string Describe(const Slot& slot) {
  std::string name(Slot::Name(slot.kind()));
  if (slot.kind() == SlotKind::kCountdown || slot.kind() == SlotKind::kAudio)
    return name;
  return name + " " + std::to_string(slot.number());
}

ByteRange ErasedBytes(const Slot& slot) {
  uint32_t begin = 0;
  uint32_t end = 0;
  switch (slot.kind()) {
    case SlotKind::kPicture:
      begin = FieldStarts(slot).first;
      end = begin + kPictureSpan;
      break;
    case SlotKind::kBanner:
    case SlotKind::kCountdown:
      begin = FieldStarts(slot).first;
      end = begin + kBannerSpan;
      break;
    case SlotKind::kPattern:
      std::tie(begin, end) = PatternUnits(slot.number());
      break;
    case SlotKind::kAudio:
      begin = kAudioStart;
      end = kAudioStart + kMainSector;
      break;
  }
  return {size_t{begin} * 2, size_t{end} * 2};
}

std::vector<Slot> AllSlots() {
  std::vector<Slot> slots;
  for (int n = 0; n < 16; ++n)
    slots.push_back(Numbered(SlotKind::kPattern, n));
  slots.push_back(Slot::Audio());
  slots.push_back(Slot::Countdown());
  for (int n = 1; n <= 8; ++n)
    slots.push_back(Numbered(SlotKind::kBanner, n));
  slots.push_back(Numbered(SlotKind::kPicture, 1));
  slots.push_back(Numbered(SlotKind::kPicture, 2));
  return slots;
}

bool ImageAcceptable(const FileImage& file, bool picture) {
  if (file.size < kHeaderBytes || file.At(0) != 'B' || file.At(1) != 'M')
    return false;
  const uint32_t declared = Le(file, 2, 4);
  const uint32_t width = Le(file, 18, 2);
  const uint32_t height = Le(file, 22, 2);
  const uint32_t bits = Le(file, 28, 2);
  const uint32_t compression = Le(file, 30, 2);
  if (width != 720 || bits != 24 || compression != 0 || file.size < declared)
    return false;
  if (picture)
    return (declared == 1244214 || declared == 1036854) && (height == 576 || height == 480);
  return declared == 155574 && height == 72;
}

const BmpLine& RowReader::Next() {
  const uint64_t got = position_ < file_.size ? std::min(kRowBytes, file_.size - position_) : 0;
  // The bytes held in memory, then the zero tail.
  const uint64_t held = position_ < file_.prefix.size()
                            ? std::min<uint64_t>(got, file_.prefix.size() - position_)
                            : 0;
  if (held > 0)
    std::memcpy(row_.data(), file_.prefix.data() + position_, held);
  std::fill(row_.begin() + static_cast<std::ptrdiff_t>(held),
            row_.begin() + static_cast<std::ptrdiff_t>(got), uint8_t{0});
  position_ += got;
  return row_;
}

uint32_t RowAddress(const Slot& slot, int r) {
  const auto [first, second] = FieldStarts(slot);
  const int band = r / 72;  // 72 rows per band, band 0 at the bottom
  const int k = (r % 72) / 2;
  const bool second_field = r % 2 == 0;
  const int bands = slot.kind() == SlotKind::kPicture ? 8 : 1;
  const auto position = static_cast<uint32_t>((bands - 1 - band) * 36 + (35 - k));
  return (second_field ? second : first) + position * 720;
}

void Erase(std::span<uint8_t> flash, const Slot& slot) {
  const ByteRange range = ErasedBytes(slot);
  std::fill(flash.begin() + static_cast<std::ptrdiff_t>(range.begin),
            flash.begin() + static_cast<std::ptrdiff_t>(range.end), 0xFF);
}

void PlaceImage(std::span<uint8_t> flash, const Slot& slot, const FileImage& file) {
  Erase(flash, slot);
  const int rows = slot.kind() == SlotKind::kPicture ? 576 : 72;
  RowReader reader(file);
  LineBuffer line{};
  for (int r = 0; r < rows; ++r) {
    EncodeLine(reader.Next(), line);
    std::memcpy(flash.data() + size_t{RowAddress(slot, r)} * 2, line.data(), kLineBytes);
  }
}

std::array<uint8_t, 2880> PatternBytes(const FileImage& file) {
  std::array<uint8_t, kPatternBytes> bytes{};
  for (size_t i = 0; i < bytes.size() && i < file.size; ++i)
    bytes[i] = file.At(i);
  return bytes;
}

void PlacePattern(std::span<uint8_t> flash, int pattern, const FileImage& file) {
  const Slot slot = Numbered(SlotKind::kPattern, pattern);
  Erase(flash, slot);
  const auto bytes = PatternBytes(file);
  std::memcpy(flash.data() + ErasedBytes(slot).begin, bytes.data(), bytes.size());
}

void PlaceAudio(std::span<uint8_t> flash, const std::array<int, 4>& selections,
                const std::array<double, 4>& dbfs) {
  const Slot slot = Slot::Audio();
  Erase(flash, slot);
  auto channels = std::make_unique<std::array<ChannelWords, kAudioChannels>>();
  for (int ch = 0; ch < kAudioChannels; ++ch) {
    const int s = selections[static_cast<size_t>(ch)];
    const float period = s >= 1 && s <= 26 ? ToneTable[static_cast<size_t>(s)].period : 0.0f;
    // The gain as the amplitude box defines it: 1 / 10^(-dBFS / 20).
    const double x = dbfs[static_cast<size_t>(ch)] / 20 * -1;
    SynthesizeChannel(ch + 1, ChannelTone{period, 1 / std::pow(10.0, x)}, (*channels)[ch]);
  }
  AudioBlock block{};
  for (int b = 0; b < kAudioBlocks; ++b) {
    PackAudioBlocks(*channels, b, block);
    // The generator keeps the first 1440 bytes of every block, one block after the other.
    std::memcpy(flash.data() + ErasedBytes(slot).begin + static_cast<size_t>(b) * kLineBytes,
                block.data(), kLineBytes);
  }
}

double AtofValue(const std::string& text) {
  return std::atof(text.c_str());
}

}  // namespace qvx::test
