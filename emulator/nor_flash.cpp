#include "emulator/nor_flash.h"

#include <algorithm>
#include <cstdio>

#include "emulator/flash_file.h"

namespace qvx::vg {

NorFlash::NorFlash() : image_(kFlashBytes, 0xFF) {}

void NorFlash::Attach(std::optional<std::string> path) {
  path_ = std::move(path);
  std::fill(image_.begin(), image_.end(), 0xFF);
  file_whole_ = false;
  warned_ = false;
  Reload();
}

void NorFlash::Reload() {
  if (!path_)
    return;
  file_whole_ = ReadFlashFile(*path_, image_);
  if (!file_whole_)
    std::fill(image_.begin(), image_.end(), 0xFF);
}

NorFlash::ProgramResult NorFlash::Program(size_t byte_offset, std::span<const uint8_t> data) {
  ProgramResult result;
  if (byte_offset >= image_.size())
    return result;
  result.stored = std::min(data.size(), image_.size() - byte_offset);
  for (size_t i = 0; i < result.stored; ++i) {
    uint8_t& cell = image_[byte_offset + i];
    if ((data[i] & ~cell) != 0) {
      if (result.raised_bytes++ == 0)
        result.first_raised = byte_offset + i;
    }
    cell &= data[i];
  }
  Persist(byte_offset, result.stored);
  return result;
}

void NorFlash::Erase(SectorExtent sector) {
  const size_t begin = size_t{sector.begin} * 2;
  const size_t end = std::min(size_t{sector.end} * 2, image_.size());
  if (begin >= end)
    return;
  std::fill(image_.begin() + static_cast<std::ptrdiff_t>(begin),
            image_.begin() + static_cast<std::ptrdiff_t>(end), 0xFF);
  Persist(begin, end - begin);
}

void NorFlash::Persist(size_t offset, size_t length) {
  if (!path_ || length == 0)
    return;
  bool ok =
      file_whole_ && WriteFlashRange(*path_, offset, std::span(image_).subspan(offset, length));
  if (!ok)
    ok = file_whole_ = WriteFlashFile(*path_, image_);
  if (!ok && !warned_) {
    warned_ = true;
    std::fprintf(stderr, "virtual generator: cannot write the flash file %s\n", path_->c_str());
  }
}

}  // namespace qvx::vg
