#include "ftdi/usb_reader.h"

#include <algorithm>
#include <array>

namespace qvx::ftdi {
namespace {

constexpr size_t kFillChunk = 4096;

}  // namespace

bool UsbReader::Fill() {
  // Asked for more than one transfer brings, ftdi_read_data starts another, and when that one
  // fails it returns only the error: the bytes of the first would be lost. Asked for one byte it
  // makes exactly one transfer (nothing when libftdi still holds bytes of an earlier one) and
  // keeps whatever else came, which the second call takes without touching USB.
  std::array<uint8_t, kFillChunk> chunk{};
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
  while (queue_.size() < count) {
    usb_ok = Fill();
    if (!usb_ok || expired())
      break;
  }
  const size_t taken = std::min<size_t>(count, queue_.size());
  std::copy_n(queue_.begin(), taken, buffer);
  queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(taken));
  received = static_cast<d2xx::Dword>(taken);
  return usb_ok ? d2xx::FT_OK : d2xx::FT_IO_ERROR;
}

d2xx::Status UsbReader::QueueStatus(d2xx::Dword& waiting) {
  const bool usb_ok = Fill();
  waiting = static_cast<d2xx::Dword>(queue_.size());
  return usb_ok ? d2xx::FT_OK : d2xx::FT_IO_ERROR;
}

bool UsbReader::Purge() {
  // Receive is the chip-to-host direction: libftdi's tciflush, which also drops its own buffer.
  queue_.clear();
  return ftdi_tciflush(context_) >= 0;
}

}  // namespace qvx::ftdi
