#include "ftdi/usb_reader.h"

#include <algorithm>
#include <array>

namespace qvx::ftdi {
namespace {

constexpr size_t kFillChunk = 4096;
// Read bytes kept at the queue's front before they are dropped: dropping moves what follows.
constexpr size_t kDropAfter = 64 * 1024;

}  // namespace

bool UsbReader::Fill() {
  // Asked for more than one transfer brings, ftdi_read_data starts another, and when that one
  // fails it returns only the error: the bytes of the first would be lost. Asked for one byte it
  // makes exactly one transfer (nothing when libftdi still holds bytes of an earlier one) and
  // keeps whatever else came, which the second call takes without touching USB.
  std::array<uint8_t, kFillChunk> chunk;  // only the bytes received are read
  int got = ftdi_read_data(context_, chunk.data(), 1);
  if (got < 0)
    return false;
  const int kept = static_cast<int>(
      std::min<size_t>(context_->readbuffer_remaining, chunk.size() - static_cast<size_t>(got)));
  if (got == 1 && kept > 0)
    got += std::max(0, ftdi_read_data(context_, chunk.data() + 1, kept));
  queue_.insert(queue_.end(), chunk.begin(), chunk.begin() + got);
  return true;
}

d2xx::Status UsbReader::Read(uint8_t* buffer, d2xx::Dword count, d2xx::Dword& received,
                             const std::function<bool()>& expired) {
  bool usb_ok = true;
  while (queued() < count) {
    usb_ok = Fill();
    if (!usb_ok || expired())
      break;
  }
  const size_t taken = std::min<size_t>(count, queued());
  std::copy_n(queue_.data() + head_, taken, buffer);
  head_ += taken;
  if (head_ == queue_.size()) {
    Clear();
  } else if (head_ >= kDropAfter) {
    queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(head_));
    head_ = 0;
  }
  received = static_cast<d2xx::Dword>(taken);
  return usb_ok ? d2xx::FT_OK : d2xx::FT_IO_ERROR;
}

d2xx::Status UsbReader::QueueStatus(d2xx::Dword& waiting) {
  const bool usb_ok = Fill();
  waiting = static_cast<d2xx::Dword>(queued());
  return usb_ok ? d2xx::FT_OK : d2xx::FT_IO_ERROR;
}

bool UsbReader::Purge() {
  // Receive is the chip-to-host direction: libftdi's tciflush, which also drops its own buffer.
  Clear();
  return ftdi_tciflush(context_) >= 0;
}

void UsbReader::Clear() {
  queue_.clear();
  head_ = 0;
}

}  // namespace qvx::ftdi
