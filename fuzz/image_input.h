// What the image targets share: the two forms in which an input carries a BMP file, the scratch
// file written from it, and the check of the encoded lines against the rows the file's reads
// deliver.
//
// A file comes in one of two forms:
// - Plain: the bytes are the file.
// - Compact, so that whole pictures stay small in the corpus: a signed 16-bit little-endian length
//   adjustment, a head length h (one byte), h head bytes, then a pattern. The file is the head
//   followed by the pattern repeated (zeros when it is empty), as long as the head declares in
//   bytes 2-5 (a BMP's bfSize; 0 when the head is shorter) plus the adjustment, within
//   0..kLongestFile. A real BMP fits with its header as the head and its first rows as the
//   pattern. Inputs too short for their head are plain.
// A target may ask for only the first bytes of a compact file to be spelled out; the rest of the
// file is zeros then (a sparse tail), for targets that read only the front of long files.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "encode/line_encoder.h"
#include "tests/support/content_model.h"

namespace qvx::fuzz {

inline constexpr uint64_t kLongestFile = 1300000;

// Fills `file` from `bytes` in the plain or compact form, with at most `spelled_out` bytes of a
// compact file in memory and zeros after them. `file`'s buffer is reused.
void DecodeImageFile(std::span<const uint8_t> bytes, bool compact, uint64_t spelled_out,
                     test::FileImage& file);

// Writes `file` to `path`: its bytes in memory, then a hole up to its size.
void WriteImageFile(const std::string& path, const test::FileImage& file);

// Every byte of a stored block's video part in 16..235 and every padding byte zero.
bool VideoBlockInRange(std::span<const uint8_t> block);

// Holds blocks to the rows of `file` in read order: each block is 1536 bytes, in range, and the
// encoding of its row. A row equal to the one last encoded reuses that encoding, so the long runs
// of equal rows of compact files cost no encoding here.
class LineCheck {
 public:
  explicit LineCheck(const test::FileImage& file) : reader_(file) {}
  // The next row read must have been sent as `block`.
  void Next(std::span<const uint8_t> block);
  // The next row read is read without being sent.
  void Skip() { reader_.Next(); }

 private:
  test::RowReader reader_;
  BmpLine encoded_row_{};
  LineBuffer expected_{};
  bool encoded_ = false;
};

}  // namespace qvx::fuzz
