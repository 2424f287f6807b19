#include "fuzz/flash_checks.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/flash_tool.h"
#include "download/kinds/image_slots.h"
#include "download/kinds/slot.h"
#include "flash/flash_files.h"
#include "fuzz/operation_host.h"

namespace qvx::fuzz {
namespace {

constexpr size_t kBytes = flash::kFlashImageBytes;
constexpr size_t kAudioBytes = size_t{kAudioFrames} * sizeof(AudioFrame);

bool AllErased(std::span<const uint8_t> bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0xFF; });
}

std::string Count(size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// Byte offset of image line y (from the top) of a slot.
size_t LineStart(const flash::ImageSlot& slot, int y) {
  const uint32_t field = y % 2 == 0 ? slot.first_field : slot.second_field;
  return (size_t{field} + static_cast<size_t>(y / 2) * kLineAddressUnits) * 2;
}

// What the check of an image slot must say: the lines no patch reaches are erased.
cli::SlotReport ExpectedImageReport(const PatchedImage& image, const flash::ImageSlot& slot) {
  const auto height = static_cast<size_t>(slot.height);
  size_t erased = height;
  size_t outside = 0;
  for (int y : image.TouchedLines(slot)) {
    const auto line = image.bytes().subspan(LineStart(slot, y), kEncodedLineSize);
    if (AllErased(line))
      continue;
    --erased;
    outside += static_cast<size_t>(
        std::count_if(line.begin(), line.end(), [](uint8_t b) { return b < 16 || b > 235; }));
  }
  if (erased == height)
    return {slot.name, true, true, "erased"};
  const bool passed = erased == 0 && outside == 0;
  std::string detail = Count(height, "line", "lines");
  if (passed)
    detail += ", every byte within 16..235";
  if (erased > 0)
    detail += ", " + std::to_string(erased) + " of them erased";
  if (outside > 0)
    detail += ", " + Count(outside, "byte", "bytes") + " outside 16..235";
  return {slot.name, false, passed, detail};
}

std::vector<uint8_t> ReadFront(const std::string& path, size_t most) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes(most);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(most));
  bytes.resize(static_cast<size_t>(in.gcount()));
  return bytes;
}

uint32_t Be32(std::span<const uint8_t> b, size_t at) {
  return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | b[at + 3];
}
uint32_t Le32(std::span<const uint8_t> b, size_t at) {
  return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 |
         uint32_t{b[at + 3]} << 24;
}

}  // namespace

ViewedSlot ViewedSlot::At(int index) {
  if (index < 2)
    return {Kind::kImage, PictureImageSlot(index + 1)};
  if (index < 11)
    return {Kind::kImage, BannerImageSlot(index - 1)};
  if (index < 27)
    return {Kind::kPattern, {}, index - 11};
  return {Kind::kAudio, {}};
}

size_t ViewedSlot::start() const {
  switch (kind) {
    case Kind::kImage:
      return size_t{image.first_field} * 2;
    case Kind::kPattern:
      return size_t{Slot::FromRow(SlotKind::kPattern, number).flash().first_address} * 2;
    case Kind::kAudio:
      break;
  }
  return size_t{AudioSlot().first_address} * 2;
}

PatchedImage::PatchedImage()
    : flash_(std::vector<uint8_t>(kBytes, 0xFF)),
      // FlashImage hands out read-only views of the buffer it owns; the target patches it there.
      bytes_(const_cast<uint8_t*>(flash_.At(0, kBytes).data())) {}

std::span<const uint8_t> PatchedImage::bytes() const {
  return {bytes_, kBytes};
}

void PatchedImage::Patch(size_t offset, std::span<const uint8_t> data) {
  if (offset >= kBytes)
    return;
  const size_t n = std::min(data.size(), kBytes - offset);
  std::memcpy(bytes_ + offset, data.data(), n);
  patched_.push_back({offset, offset + n});
}

void PatchedImage::Undo() {
  for (const auto& [begin, end] : patched_)
    std::memset(bytes_ + begin, 0xFF, end - begin);
  patched_.clear();
}

bool PatchedImage::Touches(size_t begin, size_t end) const {
  return std::any_of(patched_.begin(), patched_.end(),
                     [&](const auto& p) { return p.first < end && p.second > begin; });
}

std::vector<int> PatchedImage::TouchedLines(const flash::ImageSlot& slot) const {
  std::vector<int> lines;
  for (int y = 0; y < slot.height; ++y) {
    const size_t begin = LineStart(slot, y);
    if (Touches(begin, begin + kEncodedLineSize))
      lines.push_back(y);
  }
  return lines;
}

std::vector<int> PatchedImage::TouchedFrames() const {
  std::vector<int> frames;
  const size_t start = ViewedSlot::At(27).start();
  for (int frame = 0; frame < kAudioFrames; ++frame) {
    const size_t begin = start + static_cast<size_t>(frame) * sizeof(AudioFrame);
    if (Touches(begin, begin + sizeof(AudioFrame)))
      frames.push_back(frame);
  }
  return frames;
}

void CheckReport(const PatchedImage& image, const ViewedSlot& slot, const cli::SlotReport& report) {
  switch (slot.kind) {
    case ViewedSlot::Kind::kImage: {
      const cli::SlotReport expected = ExpectedImageReport(image, slot.image);
      Require(report.slot == expected.slot && report.erased == expected.erased &&
                  report.passed == expected.passed && report.detail == expected.detail,
              "an image slot's check reports its erased lines and its bytes outside 16..235");
      return;
    }
    case ViewedSlot::Kind::kPattern: {
      const auto bytes = image.bytes().subspan(slot.start(), kPatternSize);
      Require(report.slot == "Pattern " + std::to_string(slot.number) &&
                  report.erased == AllErased(bytes) && report.passed,
              "a pattern's check reports it erased exactly when all its bytes are 0xFF");
      return;
    }
    case ViewedSlot::Kind::kAudio:
      break;
  }
  const auto bytes = image.bytes().subspan(slot.start(), kAudioBytes);
  const bool erased = AllErased(bytes);
  // An erased word (FF FF FF FF) has wrong flags, so only a loop whose every frame is patched can
  // pass.
  bool words_fine = false;
  if (!erased) {
    const auto frames = image.TouchedFrames();
    words_fine = frames.size() == static_cast<size_t>(kAudioFrames);
    for (int frame : frames) {
      for (int ch = 0; ch < kAudioChannels && words_fine; ++ch) {
        const AudioWord word = flash::StoredAudioWord(image.flash(), frame, ch);
        words_fine = cli::AudioWordParityEven(word) && cli::AudioWordFlagsExpected(word, frame, ch);
      }
    }
  }
  Require(
      report.slot == "Audio" && report.erased == erased && report.passed == (erased || words_fine),
      "the audio loop's check: erased when all 0xFF, passed when every word is as made");
  Require(erased || report.detail.starts_with(std::to_string(kAudioFrames) + " frames, "),
          "the audio loop's check counts its frames");
}

namespace {

void CheckDecodedLine(const PatchedImage& image, const flash::ImageSlot& slot, int y,
                      const BmpLine& row) {
  BmpLine line{};
  DecodeLine(flash::StoredLine(image.flash(), slot, y), line);
  Require(line == row, "each row is the decoding of its stored line");
}

}  // namespace

void CheckDecodedLines(const PatchedImage& image, const flash::ImageSlot& slot,
                       std::span<const int> ys, std::span<const BmpLine> rows) {
  for (size_t i = 0; i < ys.size(); ++i) {
    const auto stored = flash::StoredLine(image.flash(), slot, ys[i]);
    Require(stored.data() == image.bytes().data() + LineStart(slot, ys[i]),
            "the viewer reads each line where the flash map puts it");
    CheckDecodedLine(image, slot, ys[i], rows[i]);
  }
}

void CheckDecodedImage(const PatchedImage& image, const flash::ImageSlot& slot,
                       std::span<const BmpLine> rows) {
  auto check = [&](int y, const BmpLine& row) { CheckDecodedLine(image, slot, y, row); };
  Require(rows.size() == static_cast<size_t>(slot.height), "a decoded image has the slot's height");
  // Untouched lines are erased and decode alike: check one of them, and every touched one.
  const auto touched = image.TouchedLines(slot);
  for (int y : touched)
    check(y, rows[static_cast<size_t>(y)]);
  for (int y = 0; y < slot.height; ++y) {
    if (!std::binary_search(touched.begin(), touched.end(), y)) {
      check(y, rows[static_cast<size_t>(y)]);
      for (int other = y + 1; other < slot.height; ++other) {
        if (!std::binary_search(touched.begin(), touched.end(), other))
          Require(rows[static_cast<size_t>(other)] == rows[static_cast<size_t>(y)],
                  "erased lines decode alike");
      }
      break;
    }
  }
}

void CheckPng(const std::string& path, int height) {
  const std::vector<uint8_t> png = ReadFront(path, 33);
  static constexpr uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Require(png.size() == 33 &&
              std::equal(std::begin(kSignature), std::end(kSignature), png.begin()) &&
              std::memcmp(png.data() + 12, "IHDR", 4) == 0 && Be32(png, 16) == kBmpWidth &&
              Be32(png, 20) == static_cast<uint32_t>(height),
          "the PNG written is a 720-wide image of the slot's height");
}

void CheckWav(const std::string& path) {
  const std::vector<uint8_t> wav = ReadFront(path, 512);
  std::error_code error;
  const auto size = std::filesystem::file_size(path, error);
  Require(!error && wav.size() > 44 && std::memcmp(wav.data(), "RIFF", 4) == 0 &&
              std::memcmp(wav.data() + 8, "WAVE", 4) == 0 && Le32(wav, 4) + 8 == size,
          "the WAV file written is a whole RIFF WAVE file");
  // The chunks up to "data", whatever libsndfile puts before it.
  size_t at = 12;
  uint32_t channels = 0, rate = 0, bits = 0, data = 0;
  while (at + 8 <= wav.size() && data == 0) {
    const uint32_t chunk = Le32(wav, at + 4);
    if (std::memcmp(wav.data() + at, "fmt ", 4) == 0 && at + 24 <= wav.size()) {
      channels = static_cast<uint32_t>(wav[at + 10] | wav[at + 11] << 8);
      rate = Le32(wav, at + 12);
      bits = static_cast<uint32_t>(wav[at + 22] | wav[at + 23] << 8);
    } else if (std::memcmp(wav.data() + at, "data", 4) == 0) {
      data = chunk;
    }
    at += 8 + size_t{chunk} + (chunk & 1);
  }
  Require(channels == kAudioChannels && rate == static_cast<uint32_t>(flash::kWavSampleRate) &&
              bits == 24 &&
              data == uint32_t{flash::kWavSeconds} * flash::kWavSampleRate * kAudioChannels * 3u,
          "the WAV file holds three seconds of four 48 kHz channels of 24-bit samples");
}

void CheckFileHolds(const std::string& path, std::span<const uint8_t> bytes) {
  const std::vector<uint8_t> held = ReadFront(path, bytes.size() + 1);
  Require(std::equal(held.begin(), held.end(), bytes.begin(), bytes.end()),
          "the file holds the bytes written");
}

void PatchFromInput(PatchedImage& image, const ViewedSlot& slot, std::span<const uint8_t> patches) {
  const size_t start = slot.start();
  for (size_t at = 0; at + 4 <= patches.size();) {
    const size_t offset =
        (start + (patches[at] | patches[at + 1] << 8 | size_t{patches[at + 2]} << 16)) % kBytes;
    const size_t length = std::min<size_t>(patches[at + 3], patches.size() - at - 4);
    image.Patch(offset, patches.subspan(at + 4, length));
    at += 4 + length;
  }
}

cli::SlotReport Inspect(const PatchedImage& image, const ViewedSlot& slot) {
  switch (slot.kind) {
    case ViewedSlot::Kind::kImage:
      return cli::InspectImage(image.flash(), slot.image);
    case ViewedSlot::Kind::kPattern:
      return cli::InspectPattern(image.flash(), slot.number);
    case ViewedSlot::Kind::kAudio:
      break;
  }
  return cli::InspectAudio(image.flash());
}

void ReadContent(const PatchedImage& image, const ViewedSlot& slot) {
  switch (slot.kind) {
    case ViewedSlot::Kind::kImage: {
      const std::vector<int> ys = image.TouchedLines(slot.image);
      std::vector<BmpLine> rows(ys.size());
      for (size_t i = 0; i < ys.size(); ++i)
        DecodeLine(flash::StoredLine(image.flash(), slot.image, ys[i]), rows[i]);
      CheckDecodedLines(image, slot.image, ys, rows);
      return;
    }
    case ViewedSlot::Kind::kPattern: {
      const auto stored = flash::StoredPattern(image.flash(), slot.number);
      Require(stored.data() == image.bytes().data() + slot.start() && stored.size() == kPatternSize,
              "a pattern is the 2880 bytes at its slot");
      return;
    }
    case ViewedSlot::Kind::kAudio:
      break;
  }
  for (int frame : image.TouchedFrames()) {
    for (int ch = 0; ch < kAudioChannels; ++ch) {
      const AudioWord word = flash::StoredAudioWord(image.flash(), frame, ch);
      const size_t at = slot.start() + static_cast<size_t>(frame) * sizeof(AudioFrame) +
                        static_cast<size_t>(ch) * sizeof(AudioWord);
      Require(std::equal(word.begin(), word.end(), image.bytes().begin() + static_cast<long>(at)),
              "an audio word is the four bytes of its frame and channel");
      const int32_t sample = flash::SampleOf(word);
      Require(sample >= -(1 << 19) && sample < (1 << 19), "a sample is a 20-bit value");
    }
  }
}

void RunTool(const std::string& file, uint64_t size, uint8_t choice, uint8_t slot_byte,
             const std::string& output) {
  static const char* kCommands[] = {"info", "picture", "banner", "audio", "pattern"};
  const std::string command = kCommands[((choice >> 4) & 7) % 5];
  std::vector<std::string> args = {"--image", file, command};
  if (command == "picture")
    args.push_back(std::to_string(1 + slot_byte % 2));
  else if (command == "banner")
    args.push_back(std::to_string(1 + slot_byte % 9));
  else if (command == "pattern")
    args.push_back(std::to_string(slot_byte % 16));
  if (command != "info")
    args.push_back(output);
  std::ostringstream out;
  std::ostringstream err;
  const int status = cli::RunFlashTool(args, out, err);
  if (size != kBytes) {
    Require(status == cli::kFlashFileError && out.str().empty() &&
                err.str() == "qvx5120-flash: " + file + ": not a flash image (" +
                                 (size > kBytes ? std::string("more") : std::to_string(size)) +
                                 " bytes, a flash image has 4194304)\n",
            "a file of the wrong size is refused with status 1, naming the file and its size");
    return;
  }
  Require(status == cli::kFlashDone || status == cli::kFlashSlotProblem,
          "a whole image is shown, or its slot is erased or fails its checks");
  Require((status == cli::kFlashDone) == (err.str().empty()) || command == "info",
          "a slot that is not written out is said to be erased");
}

}  // namespace qvx::fuzz
