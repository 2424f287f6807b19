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

  // new = old & data, for the bytes that fit from `byte_offset` on.
  ProgramResult Program(size_t byte_offset, std::span<const uint8_t> data);
  void Erase(SectorExtent sector);

  std::span<const uint8_t> image() const { return image_; }
  const std::optional<std::string>& path() const { return path_; }

 private:
  void Persist(size_t offset, size_t length);

  std::vector<uint8_t> image_;
  std::optional<std::string> path_;
  bool file_whole_ = false;  // the file holds a full image, so ranges can be rewritten in place
  bool warned_ = false;
};

}  // namespace qvx::vg
