// qvx5120-flash reading a flash image of any content, slot by slot: the check `info` makes of a
// slot, and the slot's content as the viewer reads it (image lines decoded, audio words as
// samples, a pattern's bytes, and a pattern written out), in-process on one 4 MiB image kept in
// memory and patched by each input. The whole image and whole files (the table of every slot,
// decoded pictures as PNG, the audio loop as WAV, the tool on a file of any size) take
// milliseconds each, so they have a target of their own, flash_tool.
//
// Input: byte 0 chooses what is done, byte 1 a slot (26: banners 1-8, the countdown, patterns
// 0-15, the audio loop; a picture is read as a banner is, with eight times the lines, and is left
// to flash_tool); the rest patches the erased image: patches of an
// offset (3 bytes, little-endian, counted from the chosen slot's first byte, modulo 4 MiB), a
// length n (1 byte) and n bytes.
// - byte 0 % 4 = 0: the slot's check, as `info` reports it;
// - 1: the slot's stored content as the viewer reads it: the patched lines of an image decoded,
//   the patched frames of the audio loop as samples, a pattern's 2880 bytes;
// - 2: both;
// - 3: a pattern written out as the `pattern` command writes it.
//
// Invariants: a check reports the slot erased exactly when its bytes are all 0xFF, and for an
// image the lines erased and the bytes outside 16..235 that a look at the patched lines finds, in
// the tool's words, and the table shows its line; the viewer reads each line, word and pattern
// where the flash map puts it; every decoded line is the decoding of its stored line and every
// sample a 20-bit value; a pattern file holds the stored bytes.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/flash_report.h"
#include "flash/flash_files.h"
#include "flash/flash_image.h"
#include "fuzz/flash_checks.h"
#include "fuzz/operation_host.h"

namespace {

using qvx::fuzz::PatchedImage;
using qvx::fuzz::Require;
using qvx::fuzz::ViewedSlot;
namespace cli = qvx::cli;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static PatchedImage image;
  static const std::string output = qvx::fuzz::ScratchPath("viewer");
  if (size < 2)
    return 0;
  const int what = data[0] % 4;
  const ViewedSlot slot = ViewedSlot::At(2 + data[1] % (qvx::fuzz::kViewedSlots - 2));
  qvx::fuzz::PatchFromInput(image, slot, {data + 2, size - 2});

  if (what == 0 || what == 2) {
    const cli::SlotReport report = qvx::fuzz::Inspect(image, slot);
    qvx::fuzz::CheckReport(image, slot, report);
    const std::string table = cli::FormatReport({report});
    Require(table.find("\n" + report.slot + " ") != std::string::npos,
            "the table has the slot's line");
  }
  if (what == 1 || what == 2)
    qvx::fuzz::ReadContent(image, slot);
  if (what == 3) {
    const int number = slot.kind == ViewedSlot::Kind::kPattern ? slot.number : 0;
    const auto stored = qvx::flash::StoredPattern(image.flash(), number);
    qvx::flash::WriteBytes(stored, output);
    qvx::fuzz::CheckFileHolds(output, stored);
  }
  image.Undo();
  return 0;
}
