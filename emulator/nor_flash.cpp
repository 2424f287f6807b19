#include "emulator/nor_flash.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "flash/flash_file.h"

namespace qvx::vg {

namespace {

// Adds the bytes of `data` that ask a 0 bit of `cells` to become 1 to `result`.
void CountRaised(const uint8_t* data, const uint8_t* cells, size_t count, size_t offset,
                 NorFlash::ProgramResult& result) {
  for (size_t i = 0; i < count; ++i) {
    if ((data[i] & ~cells[i]) != 0 && result.raised_bytes++ == 0)
      result.first_raised = offset + i;
  }
}

}  // namespace

NorFlash::NorFlash() = default;

std::vector<uint8_t>& NorFlash::Cells() const {
  // Made when first needed: a plug whose unit's flash comes back with it (AttachContent) never
  // fills 4 MiB of cells only to let them go again.
  if (image_.empty())
    image_.assign(kFlashBytes, 0xFF);
  return image_;
}

void NorFlash::Attach(std::optional<std::string> path) {
  path_ = std::move(path);
  image_ = {};
  touched_.Clear();
  file_whole_ = false;
  warned_ = false;
  Reload();
}

NorFlash::Content NorFlash::TakeContent() {
  Content content{std::move(image_), touched_};
  image_ = {};
  touched_.Clear();
  path_.reset();
  file_whole_ = false;
  return content;
}

void NorFlash::AttachContent(Content content) {
  if (content.image.size() != kFlashBytes) {
    Attach(std::nullopt);
    return;
  }
  path_.reset();
  file_whole_ = false;
  warned_ = false;
  image_ = std::move(content.image);
  touched_ = content.touched;
}

void NorFlash::Reload() {
  if (!path_)
    return;
  std::vector<uint8_t>& cells = Cells();
  file_whole_ = flash::ReadFlashFile(*path_, cells);
  if (file_whole_) {
    Touch(0, cells.size());
  } else {
    std::fill(cells.begin(), cells.end(), 0xFF);
    touched_.Clear();
  }
}

void NorFlash::Restore() {
  if (path_) {
    Attach(path_);
    return;
  }
  EraseTouched(0, kFlashBytes);
}

void NorFlash::Touch(size_t begin, size_t end) {
  for (size_t page = begin / kTrackedPage; page * kTrackedPage < end; ++page)
    touched_.Set(page);
}

void NorFlash::EraseTouched(size_t begin, size_t end) {
  touched_.ForEach([&](size_t page) {
    const size_t page_begin = page * kTrackedPage;
    const size_t page_end = page_begin + kTrackedPage;
    const size_t from = std::max(begin, page_begin);
    const size_t to = std::min(end, page_end);
    if (from >= to)
      return;
    std::memset(Cells().data() + from, 0xFF, to - from);
    if (from == page_begin && to == page_end)
      touched_.Reset(page);
  });
}

NorFlash::ProgramResult NorFlash::Program(size_t byte_offset, std::span<const uint8_t> data) {
  ProgramResult result;
  std::vector<uint8_t>& image = Cells();
  if (byte_offset >= image.size())
    return result;
  result.stored = std::min(data.size(), image.size() - byte_offset);
  Touch(byte_offset, byte_offset + result.stored);
  uint8_t* cells = image.data() + byte_offset;
  const uint8_t* in = data.data();
  // Eight bytes at a time, looking at single bytes only where a bit would have to rise.
  size_t i = 0;
  for (; i + 8 <= result.stored; i += 8) {
    uint64_t cell = 0;
    uint64_t word = 0;
    std::memcpy(&cell, cells + i, 8);
    std::memcpy(&word, in + i, 8);
    if ((word & ~cell) != 0)
      CountRaised(in + i, cells + i, 8, byte_offset + i, result);
    cell &= word;
    std::memcpy(cells + i, &cell, 8);
  }
  CountRaised(in + i, cells + i, result.stored - i, byte_offset + i, result);
  for (; i < result.stored; ++i)
    cells[i] &= in[i];
  Persist(byte_offset, result.stored);
  return result;
}

void NorFlash::Erase(SectorExtent sector) {
  const size_t begin = size_t{sector.begin} * 2;
  const size_t end = std::min(size_t{sector.end} * 2, size_t{kFlashBytes});
  if (begin >= end)
    return;
  // Only the pages that may hold programmed bytes need filling; the rest is erased already.
  EraseTouched(begin, end);
  Persist(begin, end - begin);
}

void NorFlash::Persist(size_t offset, size_t length) {
  if (!path_ || length == 0)
    return;
  bool ok = file_whole_ &&
            flash::WriteFlashRange(*path_, offset, std::span(Cells()).subspan(offset, length));
  if (!ok)
    ok = file_whole_ = flash::WriteFlashFile(*path_, Cells());
  if (!ok && !warned_) {
    warned_ = true;
    std::fprintf(stderr, "virtual generator: cannot write the flash file %s\n", path_->c_str());
  }
}

}  // namespace qvx::vg
