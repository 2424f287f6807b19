// What the generator's flash must hold after a download, worked out from the user's file and the
// chip's own geometry, independently of the download code: which bytes each slot erases, which
// BMP rows the reads deliver in which order, where each row lands, and what a pattern or an audio
// loop leaves behind. The soak and the fuzz targets compare the emulated flash with it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "download/kinds/slot.h"
#include "encode/line_encoder.h"

namespace qvx::test {

inline constexpr size_t kFlashBytes = 0x400000;  // 2 Mi address units of two bytes

// A file as the reads see it: `prefix` in memory, then zero bytes up to `size` (a sparse tail).
struct FileImage {
  std::vector<uint8_t> prefix;
  uint64_t size = 0;

  uint8_t At(uint64_t offset) const { return offset < prefix.size() ? prefix[offset] : 0; }
  // A file held whole in memory.
  static FileImage Whole(std::vector<uint8_t> bytes);
};

// The slot shown as `number` (picture 1..2, banner 1..8, pattern 0..15); the model works out its
// place in flash from that number alone, not from the slot's own flash mapping.
Slot Numbered(SlotKind kind, int number);
// "picture 2", "banner 5", "countdown", "pattern 0", "audio": for failure messages.
std::string Describe(const Slot& slot);

// The bytes of flash a slot's erase clears, [begin, end).
struct ByteRange {
  size_t begin;
  size_t end;
};
ByteRange ErasedBytes(const Slot& slot);

// Every slot; their erased ranges tile the whole chip.
std::vector<Slot> AllSlots();

// The header check, written out on its own: "BM", declared size, width 720 (low 16 bits), height,
// 24 bits, no compression (low 16 bits), plus a file at least as long as it declares.
bool ImageAcceptable(const FileImage& file, bool picture);

// The rows an image download sends, in read order: reads of 2160 bytes from byte 54 on. A read
// delivers what the file still holds; one that delivers nothing leaves the previous row, a short
// one replaces only the front of it.
class RowReader {
 public:
  explicit RowReader(const FileImage& file) : file_(file) {}
  const BmpLine& Next();

 private:
  const FileImage& file_;
  BmpLine row_{};
  uint64_t position_ = 54;
};

// Flash address (two-byte units) of read row `r` of an accepted picture (0..575) or banner
// (0..71): pairs run bottom-up, the second field's line first.
uint32_t RowAddress(const Slot& slot, int r);

// Writes into `flash` (a whole chip image) what an accepted download of `file` leaves in `slot`:
// the slot erased, then the content. For patterns, the first 2880 bytes of the file, zero-padded.
void PlaceImage(std::span<uint8_t> flash, const Slot& slot, const FileImage& file);
void PlacePattern(std::span<uint8_t> flash, int pattern, const FileImage& file);
std::array<uint8_t, 2880> PatternBytes(const FileImage& file);

// The audio loop for four channels, from list selections and amplitude texts already accepted.
void PlaceAudio(std::span<uint8_t> flash, const std::array<int, 4>& selections,
                const std::array<double, 4>& dbfs);

// The value an amplitude box's text reads as, the way C's atof reads it (up to the first NUL).
double AtofValue(const std::string& text);

void Erase(std::span<uint8_t> flash, const Slot& slot);

}  // namespace qvx::test
