// Sends BMP pixel rows as stored video lines. BMP rows run bottom-up and the file is read strictly
// forward, so pair k of a band goes to line position 35 - k: the second field's line first, then
// the first field's.
#pragma once

#include <cstdint>

#include "device/protocol.h"
#include "download/content_file.h"
#include "encode/line_encoder.h"
#include "port/window_port.h"

namespace qvx {

// Reads the next BMP row of `file` into `row`, as the sender does for every line: rows past
// `data_end` (the size the header declares) deliver nothing and leave `row` as it was, so the
// previous row is sent again; a row that ends early before `data_end` means the file changed under
// us and throws FileReadError.
void ReadVideoRow(ContentFile& file, uint64_t data_end, BmpLine& row);

class VideoLineSender {
 public:
  // `pauses_after_line`: extra pauses after each line sent (a picture's lines take two).
  VideoLineSender(DeviceLink& link, WindowPort& window, int pauses_after_line)
      : link_(link), window_(window), pauses_after_line_(pauses_after_line) {}

  // Points the flash address at line position 35 - k of the band starting at `band_start`.
  void SetLineAddress(uint32_t band_start, int k);
  // Encodes the current BMP row and sends it as one block.
  void SendVideoLine();
  // Reads and sends the next two rows of `file` to line position 35 - k of the second field's band
  // and then of the first field's. Rows past `data_end` (the size the header declares) deliver
  // nothing and the previous row is sent again; a row that ends early before `data_end` means the
  // file changed under us and throws FileReadError.
  void TransferLinePair(ContentFile& file, int k, uint32_t first_field, uint32_t second_field,
                        uint64_t data_end);

 private:
  DeviceLink& link_;
  WindowPort& window_;
  int pauses_after_line_;
  BmpLine row_{};  // the row last read; sent again for rows past the declared end
};

}  // namespace qvx
