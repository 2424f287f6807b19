// Video line transfer.
#include "download/video_lines.h"

#include <algorithm>

#include "download/texts.h"
#include "encode/line_encoder.h"

namespace qvx {

void VideoLineSender::SetLineAddress(uint32_t band_start, int k) {
  link_.SetAddress(LineAddress(band_start, k));
}

void VideoLineSender::SendVideoLine() {
  window_.ShowWaitCursor();
  LineBuffer line{};
  EncodeLine(row_, line);
  link_.WriteCommand(CMD_WRITE_BLOCK);
  link_.Write(line);
  link_.BusyPause();
  link_.BusyPause();
}

void ReadVideoRow(ContentFile& file, uint64_t data_end, BmpLine& row) {
  const uint64_t position = file.position();
  const uint64_t expected =
      position < data_end ? std::min<uint64_t>(row.size(), data_end - position) : 0;
  if (file.Read(row) < expected) {
    throw FileReadError(kFileShrankText);
  }
}

void VideoLineSender::TransferLinePair(ContentFile& file, int k, uint32_t first_field,
                                       uint32_t second_field, uint64_t data_end) {
  for (uint32_t field_start : {second_field, first_field}) {
    SetLineAddress(field_start, k);
    ReadVideoRow(file, data_end, row_);
    SendVideoLine();
    for (int i = 0; i < pauses_after_line_; ++i)
      link_.BusyPause();
  }
}

}  // namespace qvx
