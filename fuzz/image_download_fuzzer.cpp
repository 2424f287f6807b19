// The picture, banner and countdown downloads on arbitrary file contents, end to end: header read,
// check, size check, row reads, encoding, and the blocks the virtual generator stores.
//
// Input: byte 0 chooses the operation (bits 0-1: picture 1, picture 2, banner, countdown; bits
// 4-6: banner number - 1) and the file's form (bit 2: compact); the rest is the file, in the form
// fuzz/image_input.h describes.
//
// Invariants: an accepted file sends exactly 576 (picture) or 72 (banner) blocks of 1536 bytes,
// each to its line address, each the encoding of the row the reads deliver, every video byte in
// 16..235 and the padding zero; the slot then holds exactly those lines and is erased elsewhere; a
// refused file sends no block; the acceptance itself follows the header rules; the frame closes
// with the completion box and the generator sees no violation.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "fuzz/image_input.h"
#include "fuzz/operation_host.h"
#include "tests/support/content_model.h"

namespace {

using qvx::fuzz::Require;
namespace model = qvx::test;

constexpr std::string_view kComplete = "Download Complete | QVX-5120";

// The slot as the accepted blocks should leave it: erased, with each block's line at its address.
bool SlotHoldsExactly(std::span<const uint8_t> stored, const qvx::Slot& slot, size_t range_begin,
                      std::span<const std::span<const uint8_t>> blocks) {
  static std::vector<uint8_t> expected;
  expected.assign(stored.size(), 0xFF);
  for (size_t r = 0; r < blocks.size(); ++r) {
    const size_t at = size_t{model::RowAddress(slot, static_cast<int>(r))} * 2 - range_begin;
    std::copy_n(blocks[r].begin(), qvx::kBlockPayload, expected.begin() + static_cast<long>(at));
  }
  return std::memcmp(stored.data(), expected.data(), stored.size()) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static qvx::fuzz::OperationHost host;
  if (size == 0)
    return 0;
  const uint8_t choice = data[0];
  const int kind = choice & 3;
  const bool picture = kind < 2;
  static model::FileImage file;
  qvx::fuzz::DecodeImageFile({data + 1, size - 1}, (choice & 4) != 0, qvx::fuzz::kLongestFile,
                             file);
  qvx::fuzz::WriteImageFile(host.scratch_path(), file);

  const qvx::DownloadRequest request = picture     ? qvx::DownloadRequest::Picture(kind)
                                       : kind == 2 ? qvx::DownloadRequest::Banner((choice >> 4) & 7)
                                                   : qvx::DownloadRequest::Countdown();
  const qvx::Slot& slot = request.slot;
  const qvx::Outcome outcome = host.Run(request);
  host.RequireCleanEnd();
  Require(host.infos().Is({kComplete}), "the download ends with its completion box");

  // The blocks on the wire: each CMD_WRITE_BLOCK, the address set before it, the block after it.
  const auto writes = host.writes();
  const int rows = picture ? 576 : 72;
  const bool accepted = model::ImageAcceptable(file, picture);
  qvx::fuzz::LineCheck lines(file);
  static std::vector<std::span<const uint8_t>> blocks;
  blocks.clear();
  for (size_t i = 0; i < writes.size(); ++i) {
    if (!writes[i].Is({qvx::CMD_WRITE_BLOCK}))
      continue;
    Require(accepted, "a refused file sends no block");
    Require(blocks.size() < static_cast<size_t>(rows), "no more blocks than the image has rows");
    Require(i >= 1 && i + 1 < writes.size(), "a block has its address before it and data after");
    const auto address =
        qvx::AddressCommand(model::RowAddress(slot, static_cast<int>(blocks.size())));
    Require(std::equal(address.begin(), address.end(), writes[i - 1].bytes.begin(),
                       writes[i - 1].bytes.end()),
            "each row goes to its own line address");
    lines.Next(writes[i + 1].bytes);
    blocks.push_back(writes[i + 1].bytes);
  }

  if (accepted) {
    Require(outcome == qvx::Outcome::kCompleted, "an accepted file completes");
    Require(host.boxes().Is({}), "an accepted file shows no box");
    Require(blocks.size() == static_cast<size_t>(rows),
            "an accepted image sends one block per row");
    const model::ByteRange range = model::ErasedBytes(slot);
    const auto stored = host.generator().Flash().subspan(range.begin, range.end - range.begin);
    Require(SlotHoldsExactly(stored, slot, range.begin, blocks),
            "the slot holds exactly the lines sent, and is erased elsewhere");
  } else {
    // Nothing was programmed: the generator started erased and saw no block.
    Require(outcome == qvx::Outcome::kRefused, "a file the header rules reject is refused");
    Require(host.boxes().Is(
                {picture ? "Incorrect Picture file format" : "Incorrect Banner file format"}),
            "a refused file shows its one box");
  }
  return 0;
}
