// The test pattern download on arbitrary file contents, end to end. The input is the file; its
// length modulo 16 picks the pattern slot.
//
// Invariants: exactly one CMD_WRITE_PATTERN with exactly 2880 bytes, the file's first
// min(n, 2880) bytes followed by zeros; the slot's sector holds them and is erased after them;
// the frame closes with the completion box and the generator sees no violation.
#include <algorithm>
#include <cstdint>

#include "fuzz/operation_host.h"
#include "tests/support/content_model.h"
#include "tests/support/session.h"

namespace {

using qvx::fuzz::Require;
namespace model = qvx::test;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static qvx::fuzz::OperationHost host;
  static model::FileImage file;
  file.prefix.assign(data, data + size);
  file.size = size;
  qvx::fuzz::WriteWholeFile(host.scratch_path(), file.prefix);

  const qvx::DownloadRequest request = qvx::DownloadRequest::Pattern(static_cast<int>(size % 16));
  const qvx::Outcome outcome = host.Run(request);
  host.RequireCleanEnd();
  Require(outcome == qvx::Outcome::kCompleted, "every pattern file that opens is written");
  Require(host.boxes().Is({}), "a pattern file is never refused");
  Require(host.infos().Is({"Download Complete | QVX-5120"}),
          "the download ends with its completion box");

  const auto expected = model::PatternBytes(file);
  const auto writes = host.writes();
  int commands = 0;
  for (size_t i = 0; i < writes.size(); ++i) {
    if (!writes[i].Is({qvx::CMD_WRITE_PATTERN}))
      continue;
    ++commands;
    Require(i + 1 < writes.size(), "CMD_WRITE_PATTERN is followed by its data");
    const std::vector<uint8_t>& payload = writes[i + 1].bytes;
    Require(payload.size() == qvx::kPatternSize, "the pattern data is exactly 2880 bytes");
    Require(std::equal(payload.begin(), payload.end(), expected.begin()),
            "the pattern data is the file's first bytes, then zeros");
  }
  Require(commands == 1, "exactly one CMD_WRITE_PATTERN");

  const model::ByteRange range = model::ErasedBytes(request.slot);
  const auto stored = host.generator().Flash().subspan(range.begin, range.end - range.begin);
  Require(std::equal(expected.begin(), expected.end(), stored.begin()),
          "the slot starts with the pattern");
  Require(qvx::test::AllErased(stored.subspan(expected.size())),
          "the rest of the slot's sector stays erased");
  return 0;
}
