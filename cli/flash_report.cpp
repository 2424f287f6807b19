// The checks of the flash slots.
#include "cli/flash_report.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "download/kinds/image_slots.h"
#include "download/kinds/slot.h"

namespace qvx::cli {

using flash::FlashImage;
using flash::ImageSlot;
using flash::SampleOf;
using flash::StoredAudioWord;
using flash::StoredLine;
using flash::StoredPattern;

namespace {

constexpr uint8_t kVideoMin = 16;
constexpr uint8_t kVideoMax = 235;

// Compared a stretch at a time against erased bytes: `info` asks this of all 4 MiB.
bool AllErased(std::span<const uint8_t> bytes) {
  static constexpr size_t kStretch = 4096;
  static const std::array<uint8_t, kStretch> kErased = [] {
    std::array<uint8_t, kStretch> erased;
    erased.fill(0xFF);
    return erased;
  }();
  for (size_t at = 0; at < bytes.size(); at += kStretch) {
    const size_t n = std::min(kStretch, bytes.size() - at);
    if (std::memcmp(bytes.data() + at, kErased.data(), n) != 0)
      return false;
  }
  return true;
}

std::string Plural(size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// "peak -6.0 dBFS" from the largest magnitude, or "silent".
std::string PeakLevel(int32_t peak) {
  if (peak == 0)
    return "silent";
  char text[32];
  std::snprintf(text, sizeof text, "peak %.1f dBFS", 20.0 * std::log10(peak / 524288.0));
  return text;
}

}  // namespace

SlotReport InspectImage(const FlashImage& flash, const ImageSlot& slot) {
  size_t erased_lines = 0;
  size_t outside = 0;
  for (int y = 0; y < slot.height; ++y) {
    const auto line = StoredLine(flash, slot, y);
    if (AllErased(line)) {
      ++erased_lines;
      continue;
    }
    outside += static_cast<size_t>(std::count_if(
        line.begin(), line.end(), [](uint8_t b) { return b < kVideoMin || b > kVideoMax; }));
  }
  const auto height = static_cast<size_t>(slot.height);
  if (erased_lines == height)
    return {slot.name, true, true, "erased"};
  const bool passed = erased_lines == 0 && outside == 0;
  std::string detail = Plural(height, "line", "lines");
  if (passed) {
    detail += ", every byte within 16..235";
  } else {
    if (erased_lines > 0)
      detail += ", " + std::to_string(erased_lines) + " of them erased";
    if (outside > 0)
      detail += ", " + Plural(outside, "byte", "bytes") + " outside 16..235";
  }
  return {slot.name, false, passed, detail};
}

bool AudioWordParityEven(const AudioWord& word) {
  int ones = 0;
  for (uint8_t b : word)
    ones += std::popcount(b);
  return ones % 2 == 0;
}

bool AudioWordFlagsExpected(const AudioWord& word, int frame, int channel) {
  const uint8_t expected = static_cast<uint8_t>(channel << 5) |
                           (ChannelStatusBit(frame) ? 0x08 : 0x00) |
                           (frame % kStatusBlockFrames == 0 ? 0x01 : 0x00);
  // Bit 4 is the parity, checked on its own; bits 4 to 7 of byte 1 are above the sample.
  return (word[0] & ~0x10) == expected && (word[1] & 0xF0) == 0;
}

SlotReport InspectAudio(const FlashImage& flash) {
  const auto loop = flash.At(AudioSlot().first_address, kAudioFrames * sizeof(AudioFrame));
  if (AllErased(loop))
    return {"Audio", true, true, "erased"};
  size_t odd = 0;
  size_t wrong_flags = 0;
  std::array<int32_t, kAudioChannels> peak{};
  for (int i = 0; i < kAudioFrames; ++i) {
    for (int ch = 0; ch < kAudioChannels; ++ch) {
      const AudioWord word = StoredAudioWord(flash, i, ch);
      odd += AudioWordParityEven(word) ? 0 : 1;
      wrong_flags += AudioWordFlagsExpected(word, i, ch) ? 0 : 1;
      peak[static_cast<size_t>(ch)] =
          std::max(peak[static_cast<size_t>(ch)], std::abs(SampleOf(word)));
    }
  }
  const bool passed = odd == 0 && wrong_flags == 0;
  std::string detail = std::to_string(kAudioFrames) + " frames, ";
  if (passed) {
    detail += "parity and flags as expected";
  } else {
    detail += Plural(odd, "word", "words") + " with odd parity, " +
              Plural(wrong_flags, "word", "words") + " with unexpected flags";
  }
  for (int ch = 0; ch < kAudioChannels; ++ch) {
    detail += (ch == 0 ? "; ch " : ", ch ") + std::to_string(ch + 1) + " " +
              PeakLevel(peak[static_cast<size_t>(ch)]);
  }
  return {"Audio", false, passed, detail};
}

SlotReport InspectPattern(const FlashImage& flash, int number) {
  const auto bytes = StoredPattern(flash, number);
  const std::string name = "Pattern " + std::to_string(number);
  if (AllErased(bytes))
    return {name, true, true, "erased"};
  return {name, false, true, std::to_string(bytes.size()) + " bytes"};
}

std::vector<SlotReport> InspectFlash(const FlashImage& flash) {
  std::vector<SlotReport> reports;
  for (const SlotKindInfo& info : kSlotKinds) {
    for (int row = 0; row < info.count; ++row) {
      const Slot slot = Slot::FromRow(info.kind, row);
      if (info.kind == SlotKind::kPattern)
        reports.push_back(InspectPattern(flash, row));
      else if (info.kind == SlotKind::kAudio)
        reports.push_back(InspectAudio(flash));
      else
        reports.push_back(InspectImage(flash, ImageSlotOf(slot)));
    }
  }
  return reports;
}

std::string FormatReport(const std::vector<SlotReport>& reports) {
  std::string text = "Slot        Holds    Checks\n";
  for (const SlotReport& report : reports) {
    char line[40];
    std::snprintf(line, sizeof line, "%-11s %-8s ", report.slot.c_str(),
                  report.erased ? "erased" : "content");
    text += line;
    if (!report.erased)
      text += std::string(report.passed ? "ok: " : "FAILED: ") + report.detail;
    while (!text.empty() && text.back() == ' ')
      text.pop_back();
    text += '\n';
  }
  return text;
}

}  // namespace qvx::cli
