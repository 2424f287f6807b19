// Video line transfer.
#include "download/video_lines.h"

#include <algorithm>

#include "encode/line_encoder.h"

namespace qvx {

void VideoLineSender::SetLineAddress(uint32_t band_start, int k) {
  link_.SetAddress(LineAddress(band_start, k));
}

void VideoLineSender::SendVideoLine() {
  window_.ShowWaitCursor();
  LineBuffer line{};
  EncodeLine(state_.bmp_line, line);
  link_.WriteCommand(CMD_WRITE_BLOCK);
  link_.Write(line);
  link_.BusyPause();
  link_.BusyPause();
}

void VideoLineSender::ReadRow(ContentFile& file, uint64_t data_end) {
  const uint64_t position = file.position();
  const uint64_t expected =
      position < data_end ? std::min<uint64_t>(state_.bmp_line.size(), data_end - position) : 0;
  if (file.Read(state_.bmp_line) < expected) {
    throw FileReadError("the file became shorter while it was being read");
  }
}

void VideoLineSender::TransferLinePair(ContentFile& file, int k, bool extra_waits,
                                       uint64_t data_end) {
  for (uint32_t field_start : {state_.SecondFieldAddress, state_.FirstFieldAddress}) {
    SetLineAddress(field_start, k);
    ReadRow(file, data_end);
    SendVideoLine();
    if (extra_waits) {
      link_.BusyPause();
      link_.BusyPause();
    }
  }
}

}  // namespace qvx
