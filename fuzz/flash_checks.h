// What the flash viewer target holds the viewer to, worked out independently of its code where
// that is cheap: the 4 MiB image kept in memory and patched by each input, the checks a slot's
// report must show given the lines the patches reach, and the headers of the files it writes.
// Built without coverage, with the rest of the targets' checking.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "cli/flash_report.h"
#include "flash/flash_image.h"

namespace qvx::fuzz {

inline constexpr int kViewedSlots = 28;

// One of the 28 slots the viewer checks, in its order: pictures 1-2, banners 1-8, the countdown,
// patterns 0-15, the audio loop.
struct ViewedSlot {
  enum class Kind { kImage, kPattern, kAudio } kind;
  flash::ImageSlot image;  // images only
  int number = 0;          // patterns only

  static ViewedSlot At(int index);
  // The byte offset where the slot's content starts in the image.
  size_t start() const;
};

// The image in memory: erased but for the patches of the current input, which Undo takes back.
class PatchedImage {
 public:
  PatchedImage();
  const flash::FlashImage& flash() const { return flash_; }
  std::span<const uint8_t> bytes() const;

  void Patch(size_t offset, std::span<const uint8_t> data);
  void Undo();
  // Whether a patch of this input reaches into [begin, end).
  bool Touches(size_t begin, size_t end) const;
  // The lines (from the top) of an image slot that a patch reaches.
  std::vector<int> TouchedLines(const flash::ImageSlot& slot) const;
  // The audio frames a patch reaches.
  std::vector<int> TouchedFrames() const;

 private:
  flash::FlashImage flash_;
  uint8_t* bytes_;
  std::vector<std::pair<size_t, size_t>> patched_;
};

// The report's fields must be what the patched bytes call for.
void CheckReport(const PatchedImage& image, const ViewedSlot& slot, const cli::SlotReport& report);

// rows[i] is the decoding of line ys[i], read where the flash map puts it.
void CheckDecodedLines(const PatchedImage& image, const flash::ImageSlot& slot,
                       std::span<const int> ys, std::span<const BmpLine> rows);
// `rows` is the whole image decoded: a row a line, each the decoding of its stored line.
void CheckDecodedImage(const PatchedImage& image, const flash::ImageSlot& slot,
                       std::span<const BmpLine> rows);

// Applies an input's patches (see the flash_viewer target) to the image around the slot.
void PatchFromInput(PatchedImage& image, const ViewedSlot& slot, std::span<const uint8_t> patches);

// The slot's check, as `info` makes it.
cli::SlotReport Inspect(const PatchedImage& image, const ViewedSlot& slot);
// The slot's content read the way the viewer reads it, where the patches reach, and checked.
void ReadContent(const PatchedImage& image, const ViewedSlot& slot);
// The tool as a user runs it, on `file` of `size` bytes, the command and its slot chosen by
// bits 4-6 of `choice` and by `slot_byte`, writing to `output`; and its outcome checked.
void RunTool(const std::string& file, uint64_t size, uint8_t choice, uint8_t slot_byte,
             const std::string& output);

// A 720-wide PNG of `height` rows; three seconds of four 48 kHz channels of 24-bit samples.
void CheckPng(const std::string& path, int height);
void CheckWav(const std::string& path);
// The file holds exactly `bytes`.
void CheckFileHolds(const std::string& path, std::span<const uint8_t> bytes);

}  // namespace qvx::fuzz
