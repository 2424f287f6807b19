// The generator's NOR flash: 4 MiB, erased to 0xFF, programming only clears bits. Optionally backed
// by a file that follows every change, so the content outlives the process.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "emulator/sector_layout.h"

namespace qvx::vg {

// A set of page numbers, one bit each, visited set bit by set bit: a restart or an erase looks at
// the few pages a run wrote, not at every page of the chip.
template <size_t kPages>
class PageSet {
 public:
  void Set(size_t page) { words_[page / 64] |= Bit(page); }
  void Reset(size_t page) { words_[page / 64] &= ~Bit(page); }
  void Clear() { words_.fill(0); }
  bool Test(size_t page) const { return (words_[page / 64] & Bit(page)) != 0; }
  // Calls visit(page) for every page in the set, in ascending order.
  template <typename Visit>
  void ForEach(Visit visit) const {
    for (size_t word = 0; word < words_.size(); ++word) {
      for (uint64_t bits = words_[word]; bits != 0; bits &= bits - 1)
        visit(word * 64 + static_cast<size_t>(std::countr_zero(bits)));
    }
  }
  bool operator==(const PageSet&) const = default;

 private:
  static uint64_t Bit(size_t page) { return uint64_t{1} << (page % 64); }
  std::array<uint64_t, (kPages + 63) / 64> words_{};
};

class NorFlash {
 public:
  struct ProgramResult {
    size_t stored = 0;        // bytes that fitted in the chip
    size_t raised_bytes = 0;  // bytes in which a 0 bit was asked to become 1
    size_t first_raised = 0;  // byte offset of the first of those
  };

  NorFlash();

  // Selects the backing file (nothing = memory only) and loads it; a missing or wrong-sized file
  // gives erased flash, and the file is rewritten whole at the first change.
  void Attach(std::optional<std::string> path);
  // Loads the backing file again; memory-only flash keeps its content.
  void Reload();
  // The flash as Attach left it: the backing file loaded again, or memory-only flash erased. Only
  // the bytes programmed since are rewritten, so a restart between many short runs costs what
  // they wrote rather than 4 MiB.
  void Restore();

  // new = old & data, for the bytes that fit from `byte_offset` on.
  ProgramResult Program(size_t byte_offset, std::span<const uint8_t> data);
  void Erase(SectorExtent sector);

  std::span<const uint8_t> image() const { return Cells(); }
  // The pages that may hold something other than 0xFF; every byte of the other pages is erased.
  // Kept by page, not as one span, so that a write at each end of the chip does not make a
  // restart or an erase fill all 4 MiB.
  static constexpr size_t kTrackedPage = 4096;
  using TouchedPages = PageSet<kFlashBytes / kTrackedPage>;
  const TouchedPages& touched_pages() const { return touched_; }
  // What memory-only flash holds, handed over whole so that the unit's next plug finds it again
  // (a file-backed flash keeps its content in the file). Leaves this flash with no cells at all,
  // as a pulled unit needs none, until the next Attach.
  struct Content {
    std::vector<uint8_t> image;
    TouchedPages touched;
  };
  Content TakeContent();
  // Memory-only flash holding `content`, as TakeContent gave it.
  void AttachContent(Content content);
  const std::optional<std::string>& path() const { return path_; }

 private:
  void Persist(size_t offset, size_t length);
  // Marks [begin, end) as possibly holding programmed bytes.
  void Touch(size_t begin, size_t end);
  // Erases the touched bytes of [begin, end); a page wholly inside is then untouched.
  void EraseTouched(size_t begin, size_t end);

  // The cells, made erased when first needed (Attach lets them go).
  std::vector<uint8_t>& Cells() const;

  mutable std::vector<uint8_t> image_;
  std::optional<std::string> path_;
  bool file_whole_ = false;  // the file holds a full image, so ranges can be rewritten in place
  bool warned_ = false;
  TouchedPages touched_;
};

}  // namespace qvx::vg
