// A BMP file through the header check, the row reads and the line encoding, in-process: the
// download's own ReadBitmapHeader and VideoLineSender over a driver inside this process, without
// the erase, the frame or a generator. The end-to-end image target runs whole downloads; this one
// runs the file's reading and encoding many times faster, on the first line pairs of the image
// (the whole image now and then).
//
// Input: byte 0 chooses the image (bit 0: picture, else banner; bits 1-4: the slot, picture 1-2
// or banner 1-8 and the countdown as 9) and the file's form (bit 5: compact); byte 1 how many
// line pairs are sent: 1 to 4 (bits 0-1), or all of them when it is 0xFF. The rest is the file,
// in the form fuzz/image_input.h describes.
//
// Invariants: the header check accepts the file exactly when the header rules and its length say
// so, whatever bytes an earlier file left in the header buffer; an accepted file's line pairs go
// out as the download sends them: each line to its line address, one block of exactly 1536 bytes,
// every video byte in 16..235, the padding zero, and the encoding of the row the reads deliver
// (rows past the end of the file keep the row before, so nothing is read past the file); no read
// fails on a file that stays as it is.

#include <algorithm>
#include <cstdint>
#include <string>

#include "download/bitmap_file.h"
#include "download/content_file.h"
#include "download/video_lines.h"
#include "fuzz/image_input.h"
#include "fuzz/in_process_link.h"
#include "fuzz/operation_host.h"
#include "tests/support/content_model.h"

namespace {

using qvx::fuzz::Require;
namespace model = qvx::test;

constexpr size_t kRowBytes = 2160;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static qvx::fuzz::InProcessLink device;
  static const std::string path = qvx::fuzz::ScratchPath("bmp");
  if (size < 2)
    return 0;
  const bool picture = (data[0] & 1) != 0;
  const int slot_choice = (data[0] >> 1) & 15;
  const qvx::Slot slot = picture ? qvx::Slot::FromRow(qvx::SlotKind::kPicture, slot_choice & 1)
                         : slot_choice % 9 == 8
                             ? qvx::Slot::Countdown()
                             : qvx::Slot::FromRow(qvx::SlotKind::kBanner, slot_choice % 9);
  const int bands = picture ? 8 : 1;
  const int all_pairs = bands * qvx::kLinePairsPerBand;
  const int pairs = data[1] == 0xFF ? all_pairs : 1 + (data[1] & 3);

  // Only the bytes the reads can reach are written; the rest of the file is a hole.
  static model::FileImage file;
  const uint64_t reached =
      qvx::kBmpHeaderSize + uint64_t{2} * static_cast<uint64_t>(pairs) * kRowBytes;
  qvx::fuzz::DecodeImageFile({data + 2, size - 2}, (data[0] & 32) != 0, reached, file);
  qvx::fuzz::WriteImageFile(path, file);

  auto content = qvx::ContentFile::Open(path);
  Require(content != nullptr, "the scratch file opens");
  // The header buffer still holds an accepted picture's header from "an earlier file".
  qvx::BmpHeader header{};
  header[0] = 'B';
  header[1] = 'M';
  header[2] = 0x36, header[3] = 0xFC, header[4] = 0x12;  // 1244214
  header[18] = 0xD0, header[19] = 0x02;                  // 720
  header[22] = 0x40, header[23] = 0x02;                  // 576
  header[28] = 24;
  const qvx::BmpVerdict verdict = qvx::ReadBitmapHeader(*content, header);
  Require(verdict.PictureAcceptable == model::ImageAcceptable(file, true) &&
              verdict.BannerAcceptable == model::ImageAcceptable(file, false),
          "the header check follows the header rules and the file's length");
  if (!(picture ? verdict.PictureAcceptable : verdict.BannerAcceptable))
    return 0;

  // The line pairs as the download sends them: bands bottom-up, each pair to the second field's
  // line, then the first field's.
  const qvx::FlashSlot flash = slot.flash();
  qvx::VideoLineSender sender(device.link(), device, picture ? 2 : 0);
  device.ClearWrites();
  qvx::fuzz::LineCheck lines(file);
  const uint64_t data_end = qvx::DeclaredFileSize(header);
  int sent = 0;
  for (int band = 0; band < bands && sent < pairs; ++band) {
    const uint32_t offset =
        static_cast<uint32_t>(bands - 1 - band) * qvx::kLinePairsPerBand * qvx::kLineAddressUnits;
    for (int k = 0; k < qvx::kLinePairsPerBand && sent < pairs; ++k, ++sent) {
      try {
        sender.TransferLinePair(*content, k, flash.first_address + offset,
                                flash.second_address + offset, data_end);
      } catch (const qvx::FileReadError&) {
        Require(false, "no read fails on a file that stays as it is");
      }
    }
  }

  // Each line: its address, CMD_WRITE_BLOCK, the block.
  const auto writes = device.writes();
  Require(writes.size() == static_cast<size_t>(sent) * 2 * 3, "three writes a line");
  for (size_t line = 0; line < writes.size() / 3; ++line) {
    const auto address = qvx::AddressCommand(model::RowAddress(slot, static_cast<int>(line)));
    Require(writes[3 * line].Is({address[0], address[1], address[2], address[3]}),
            "each line goes to its own line address");
    Require(writes[3 * line + 1].Is({qvx::CMD_WRITE_BLOCK}), "each line is one CMD_WRITE_BLOCK");
    lines.Next(writes[3 * line + 2].bytes);
  }
  return 0;
}
