// qvx5120-flash on whole flash images and on files of any size: the table of every slot's check
// that `info` prints, a picture or banner decoded whole and written as a PNG, the audio loop
// decoded whole and written as a WAV, and the tool itself on a file, with its size check and exit
// statuses. These take milliseconds an input; the slot-level reading runs many times faster in
// the flash_viewer target, which shares this input's layout.
//
// Input: byte 0 chooses what is done, byte 1 a slot (28 in all: pictures 1-2, banners 1-8, the
// countdown, patterns 0-15, the audio loop); the rest patches the erased image: patches of an
// offset (3 bytes, little-endian, counted from the chosen slot's first byte, modulo 4 MiB), a
// length n (1 byte) and n bytes.
// - byte 0 % 4 = 0: every slot's check and the table `info` prints;
// - 1: the slot's image decoded whole (for a pattern or the audio loop: banner 1), and written as
//   a PNG when bit 3 is set;
// - 2: the audio loop decoded whole, and written as a WAV when bit 3 is set;
// - 3: the tool on a file, the command from bits 4-6: the input's bytes after byte 1 as they are
//   (a file of any size but 4 MiB) when bit 3 is set, else the patched image, 4 MiB give or take
//   byte 2's signed value when bit 2 is set.
//
// Invariants: the table has a line per slot and each check reports what the patched lines call
// for; every decoded line is the decoding of its stored line and every sample the 20-bit value of
// its word; a PNG written is a 720-wide image of the slot's height, a WAV three seconds of four
// 48 kHz channels; the tool refuses a file of the wrong size with status 1 and a message naming
// the file and its size, and on a whole image shows it, or says its slot is erased or fails its
// checks.
#include <unistd.h>

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
  static const std::string file = qvx::fuzz::ScratchPath("flash");
  static const std::string output = qvx::fuzz::ScratchPath("flash-out");
  if (size < 2)
    return 0;
  const uint8_t choice = data[0];
  const int what = choice % 4;
  const ViewedSlot slot = ViewedSlot::At(data[1] % qvx::fuzz::kViewedSlots);
  constexpr size_t kBytes = qvx::flash::kFlashImageBytes;

  // The tool on the input's own bytes: a file of any size.
  if (what == 3 && (choice & 8) != 0) {
    qvx::fuzz::WriteWholeFile(file, {data + 2, size - 2});
    qvx::fuzz::RunTool(file, size - 2, choice, data[1], output);
    return 0;
  }
  qvx::fuzz::PatchFromInput(image, slot, {data + 2, size - 2});

  if (what == 0) {
    const std::vector<cli::SlotReport> reports = cli::InspectFlash(image.flash());
    Require(reports.size() == static_cast<size_t>(qvx::fuzz::kViewedSlots),
            "the table has every slot");
    for (int i = 0; i < qvx::fuzz::kViewedSlots; ++i)
      qvx::fuzz::CheckReport(image, ViewedSlot::At(i), reports[static_cast<size_t>(i)]);
    const std::string table = cli::FormatReport(reports);
    Require(std::count(table.begin(), table.end(), '\n') == qvx::fuzz::kViewedSlots + 1,
            "the table is a header and a line a slot");
  } else if (what == 1) {
    const qvx::flash::ImageSlot& shown =
        slot.kind == ViewedSlot::Kind::kImage ? slot.image : ViewedSlot::At(2).image;
    const std::vector<qvx::BmpLine> rows = qvx::flash::DecodeImage(image.flash(), shown);
    qvx::fuzz::CheckDecodedImage(image, shown, rows);
    if ((choice & 8) != 0) {
      qvx::flash::WritePng(rows, output);
      qvx::fuzz::CheckPng(output, shown.height);
    }
  } else if (what == 2) {
    const qvx::flash::AudioSamples samples = qvx::flash::DecodeAudio(image.flash());
    for (int frame = 0; frame < qvx::kAudioFrames; ++frame) {
      for (int ch = 0; ch < qvx::kAudioChannels; ++ch) {
        Require(samples[static_cast<size_t>(frame)][static_cast<size_t>(ch)] ==
                    qvx::flash::SampleOf(qvx::flash::StoredAudioWord(image.flash(), frame, ch)),
                "every sample is the 20-bit value of its stored word");
      }
    }
    if ((choice & 8) != 0) {
      qvx::flash::WriteWav(samples, qvx::flash::kWavSeconds, output);
      qvx::fuzz::CheckWav(output);
    }
  } else {
    // The patched image as a file, perhaps cut short or made longer.
    uint64_t length = kBytes;
    if ((choice & 4) != 0 && size > 2)
      length = static_cast<uint64_t>(static_cast<int64_t>(kBytes) + static_cast<int8_t>(data[2]));
    qvx::fuzz::WriteWholeFile(file, image.bytes().first(std::min<uint64_t>(length, kBytes)));
    if (length > kBytes)
      Require(truncate(file.c_str(), static_cast<off_t>(length)) == 0, "the file grows");
    qvx::fuzz::RunTool(file, length, choice, data[1], output);
  }
  image.Undo();
  return 0;
}
