// Sends BMP pixel rows as stored video lines. BMP rows run bottom-up and the file is read strictly
// forward, so pair k of a band goes to line position 35 - k: the second field's line first, then
// the first field's.
#pragma once

#include <cstdint>

#include "device/protocol.h"
#include "device/window_port.h"
#include "download/content_file.h"
#include "download/downloads.h"

namespace qvx {

class VideoLineSender {
 public:
  VideoLineSender(DeviceLink& link, WindowPort& window, DownloadState& state)
      : link_(link), window_(window), state_(state) {}

  // Points the flash address at line position 35 - k of the band starting at `band_start`.
  void SetLineAddress(uint32_t band_start, int k);
  // Encodes the current BMP row and sends it as one block.
  void SendVideoLine();
  // Reads and sends the next two rows of `file`. Rows past `data_end` (the size the header
  // declares) deliver nothing and the previous row is sent again; a row that ends early before
  // `data_end` means the file changed under us and throws FileReadError.
  void TransferLinePair(ContentFile& file, int k, bool extra_waits, uint64_t data_end);

 private:
  void ReadRow(ContentFile& file, uint64_t data_end);

  DeviceLink& link_;
  WindowPort& window_;
  DownloadState& state_;
};

}  // namespace qvx
