#include "fuzz/image_input.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "device/protocol.h"
#include "fuzz/operation_host.h"

namespace qvx::fuzz {

void DecodeImageFile(std::span<const uint8_t> bytes, bool compact, uint64_t spelled_out,
                     test::FileImage& file) {
  std::vector<uint8_t>& out = file.prefix;
  const size_t head_size = bytes.size() >= 3 ? bytes[2] : 0;
  if (!compact || bytes.size() < 3 + head_size) {
    out.assign(bytes.begin(), bytes.end());
    file.size = out.size();
    return;
  }
  const auto adjust = static_cast<int16_t>(bytes[0] | bytes[1] << 8);
  const std::span<const uint8_t> head = bytes.subspan(3, head_size);
  const std::span<const uint8_t> pattern = bytes.subspan(3 + head_size);
  const int64_t declared = head.size() >= 6 ? int64_t{head[2]} | int64_t{head[3]} << 8 |
                                                  int64_t{head[4]} << 16 | int64_t{head[5]} << 24
                                            : 0;
  const auto longest = static_cast<int64_t>(kLongestFile);
  file.size =
      static_cast<uint64_t>(std::clamp<int64_t>(std::min(declared, longest) + adjust, 0, longest));

  out.resize(std::min(file.size, spelled_out));
  const size_t from_head = std::min(out.size(), head.size());
  std::copy_n(head.begin(), from_head, out.begin());
  if (pattern.empty()) {
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(from_head), out.end(), uint8_t{0});
    return;
  }
  // One period, then the filled part doubled until the rest is covered.
  size_t filled = std::min(pattern.size(), out.size() - from_head);
  std::copy_n(pattern.begin(), filled, out.begin() + static_cast<std::ptrdiff_t>(from_head));
  while (from_head + filled < out.size()) {
    const size_t more = std::min(filled, out.size() - from_head - filled);
    std::memcpy(out.data() + from_head + filled, out.data() + from_head, more);
    filled += more;
  }
}

void WriteImageFile(const std::string& path, const test::FileImage& file) {
  WriteWholeFile(path, file.prefix);
  if (file.size > file.prefix.size())
    Require(truncate(path.c_str(), static_cast<off_t>(file.size)) == 0,
            "the scratch file takes its sparse tail");
}

bool VideoBlockInRange(std::span<const uint8_t> block) {
  if (block.size() != kBlockSize)
    return false;
  const auto video = block.first(kBlockPayload);
  const auto padding = block.subspan(kBlockPayload);
  return std::all_of(video.begin(), video.end(), [](uint8_t b) { return b >= 16 && b <= 235; }) &&
         std::all_of(padding.begin(), padding.end(), [](uint8_t b) { return b == 0; });
}

void LineCheck::Next(std::span<const uint8_t> block) {
  Require(block.size() == kBlockSize, "every block is 1536 bytes");
  Require(VideoBlockInRange(block), "video bytes lie in 16..235 and the padding is zero");
  const BmpLine& row = reader_.Next();
  if (!encoded_ || row != encoded_row_) {
    encoded_row_ = row;
    EncodeLine(encoded_row_, expected_);
    encoded_ = true;
  }
  Require(std::equal(block.begin(), block.end(), expected_.begin()),
          "each block is the encoding of the row the reads deliver");
}

}  // namespace qvx::fuzz
