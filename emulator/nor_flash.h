// The generator's NOR flash: 4 MiB, erased to 0xFF, programming only clears bits. Optionally backed
// by a file that follows every change, so the content outlives the process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "emulator/sector_layout.h"

namespace qvx::vg {

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

  std::span<const uint8_t> image() const { return image_; }
  // The bytes that may hold something other than 0xFF: every byte outside [begin, end) is erased.
  // Empty (begin == end) when the whole chip is erased.
  size_t touched_begin() const { return touched_begin_; }
  size_t touched_end() const { return touched_end_; }
  const std::optional<std::string>& path() const { return path_; }

 private:
  void Persist(size_t offset, size_t length);
  // Marks [begin, end) as possibly holding programmed bytes.
  void Touch(size_t begin, size_t end);

  std::vector<uint8_t> image_;
  std::optional<std::string> path_;
  bool file_whole_ = false;  // the file holds a full image, so ranges can be rewritten in place
  bool warned_ = false;
  // Every byte outside [touched_begin_, touched_end_) is erased (0xFF).
  size_t touched_begin_ = 0;
  size_t touched_end_ = 0;
};

}  // namespace qvx::vg
