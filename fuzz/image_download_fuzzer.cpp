// The picture, banner and countdown downloads on arbitrary file contents, end to end: header read,
// check, size check, row reads, encoding, and the blocks the virtual generator stores.
//
// Input: byte 0 chooses the operation (bits 0-1: picture 1, picture 2, banner, countdown; bits
// 4-6: banner number - 1) and the form of the rest (bit 2).
// - Plain form: the rest is the file.
// - Compact form, so that whole pictures stay small in the corpus: a signed 16-bit little-endian
//   length adjustment, a 54-byte header, then a row pattern. The file is the header followed by
//   the pattern repeated (zeros when it is empty), as long as the header declares plus the
//   adjustment, at most kLongestFile bytes. Inputs too short for the compact form are plain.
//
// Invariants: an accepted file sends exactly 576 (picture) or 72 (banner) blocks of 1536 bytes,
// each to its line address, each the encoding of the row the reads deliver, every video byte in
// 16..235 and the padding zero; a refused file sends no block and leaves the slot erased; the
// acceptance itself follows the header rules; the frame closes and the generator sees no
// violation.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "window/controls.h"
#include "fuzz/operation_host.h"
#include "tests/support/content_model.h"

namespace {

using qvx::fuzz::Require;
namespace model = qvx::test;

constexpr size_t kHeader = 54;
constexpr const char* kComplete = "info Download Complete | QVX-5120";
constexpr int64_t kLongestFile = 1300000;

// Fills `file` from the input in either form; the buffers are reused from input to input.
void Decode(const uint8_t* data, size_t size, bool compact, model::FileImage& file) {
  std::vector<uint8_t>& bytes = file.prefix;
  if (!compact || size < 2 + kHeader) {
    bytes.assign(data, data + size);
    file.size = bytes.size();
    return;
  }
  const auto adjust = static_cast<int16_t>(data[0] | data[1] << 8);
  const uint8_t* header = data + 2;
  const uint8_t* pattern = header + kHeader;
  const size_t pattern_size = size - 2 - kHeader;
  const int64_t declared = header[2] | header[3] << 8 | header[4] << 16 | int64_t{header[5]} << 24;
  const int64_t length =
      std::clamp<int64_t>(std::min(declared, kLongestFile) + adjust, 0, kLongestFile);
  bytes.resize(static_cast<size_t>(length));
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i < kHeader)
      bytes[i] = header[i];
    else
      bytes[i] = pattern_size > 0 ? pattern[(i - kHeader) % pattern_size] : 0;
  }
  file.size = bytes.size();
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
  Decode(data + 1, size - 1, (choice & 4) != 0, file);
  qvx::fuzz::WriteWholeFile(host.scratch_path(), file.prefix);

  const qvx::DownloadRequest request = picture     ? qvx::DownloadRequest::Picture(kind)
                                       : kind == 2 ? qvx::DownloadRequest::Banner((choice >> 4) & 7)
                                                   : qvx::DownloadRequest::Countdown();
  const qvx::Slot& slot = request.slot;
  const qvx::Outcome outcome = host.Run(request);
  host.RequireCleanEnd();
  Require(host.Infos() == std::vector<std::string>{kComplete},
          "the download ends with its completion box");

  // The blocks on the wire: each CMD_WRITE_BLOCK, the address set before it, the block after it.
  const auto& writes = host.writes();
  const int rows = picture ? 576 : 72;
  const bool accepted = model::ImageAcceptable(file, picture);
  model::RowReader reader(file);
  const model::ByteRange range = model::ErasedBytes(slot);
  // The slot as the blocks sent should leave it: erased, with each block's line at its address.
  static std::vector<uint8_t> slot_image;
  slot_image.assign(range.end - range.begin, 0xFF);
  int blocks = 0;
  qvx::LineBuffer expected{};
  for (size_t i = 0; i < writes.size(); ++i) {
    if (!writes[i].Is({qvx::CMD_WRITE_BLOCK}))
      continue;
    Require(accepted, "a refused file sends no block");
    Require(blocks < rows, "no more blocks than the image has rows");
    Require(i >= 1 && i + 1 < writes.size(), "a block has its address before it and data after");
    const auto address = qvx::AddressCommand(model::RowAddress(slot, blocks));
    Require(std::equal(address.begin(), address.end(), writes[i - 1].bytes.begin(),
                       writes[i - 1].bytes.end()),
            "each row goes to its own line address");
    const std::vector<uint8_t>& block = writes[i + 1].bytes;
    Require(block.size() == qvx::kBlockSize, "every block is 1536 bytes");
    for (size_t b = 0; b < block.size(); ++b) {
      Require(b < qvx::kBlockPayload ? block[b] >= 16 && block[b] <= 235 : block[b] == 0,
              "video bytes lie in 16..235 and the padding is zero");
    }
    qvx::EncodeLine(reader.Next(), expected);
    Require(std::equal(block.begin(), block.end(), expected.begin()),
            "each block is the encoding of the row the reads deliver");
    std::copy_n(block.begin(), qvx::kBlockPayload,
                slot_image.begin() + (size_t{model::RowAddress(slot, blocks)} * 2 - range.begin));
    ++blocks;
  }

  const auto stored = host.generator().Flash().subspan(range.begin, range.end - range.begin);
  Require(std::memcmp(stored.data(), slot_image.data(), stored.size()) == 0,
          "the slot holds exactly the lines sent, and is erased elsewhere");
  if (accepted) {
    Require(outcome == qvx::Outcome::kCompleted, "an accepted file completes");
    Require(host.Boxes().empty(), "an accepted file shows no box");
    Require(blocks == rows, "an accepted image sends one block per row");
  } else {
    Require(outcome == qvx::Outcome::kRefused, "a file the header rules reject is refused");
    Require(host.Boxes() == std::vector<std::string>{picture ? "box Incorrect Picture file format"
                                                             : "box Incorrect Banner file format"},
            "a refused file shows its one box");
  }
  return 0;
}
