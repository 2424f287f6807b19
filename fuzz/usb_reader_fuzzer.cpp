// The open driver's reading of USB packets (ftdi/usb_reader.*) over libftdi's ftdi_read_data, fed
// with bytes as libusb would hand them in: this target defines libusb's transfer functions itself,
// so libftdi (the system's library, as the open driver uses it) calls into the fuzzer, which plays
// an FT245R bridge with 64-byte packets.
//
// Input: operations until the input runs out, each a byte b and what follows it:
// - b % 8 = 0, 1, 2: the chip sends one bulk-in transfer of n = next byte + 256 * (bits 3-6 of b)
//   bytes (at most 4096, what the host asks for; fewer when the input runs out), taken from the
//   input as they are: every 64 bytes from the transfer's start are a packet whose first two bytes
//   are the modem status.
// - 3: a read of next byte bytes (times 16 when bit 3 is set); 4: a read of one byte, as the
//   status poll does.
// - 5: a queue query; 6: a purge of the receive side; 7: the next transfer fails (a USB error);
//   with bit 3 set instead, a reset of the chip as FtdiPort::Reset does it.
// The read time-out passes once the chip has answered a transfer with nothing but its status
// (it does that when idle, within its latency timer).
//
// Invariants: the payload the reads deliver is the transfers' bytes with the two status bytes
// stripped at every packet start, in order, nothing lost, repeated or made up; a read delivers
// exactly as many bytes as were asked for or, once the chip is idle, all there are, and writes
// nothing past them; a queue query never counts more than has arrived; after a purge or a reset
// nothing sent before it comes back; a USB error fails the call that meets it with FT_IO_ERROR.
#include <libusb.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

#include "device/d2xx.h"
#include "ftdi/usb_reader.h"

namespace {

void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

constexpr size_t kPacket = 64;
constexpr size_t kLongestTransfer = 4096;
constexpr uint8_t kIdleStatus[2] = {0x01, 0x60};

// The chip's side: transfers waiting to go out, in order, each a piece of the input.
struct Transfer {
  std::span<const uint8_t> bytes;
  bool fails = false;
};

struct Chip {
  std::vector<Transfer> waiting;  // from `next` on
  size_t next = 0;
  int idle_answers = 0;  // transfers answered with the status alone

  bool idle() const { return next == waiting.size(); }
  void Clear() {
    waiting.clear();
    next = 0;
  }
};

Chip chip;

// The payload sent and not yet delivered: the bytes from `next` on.
struct Payload {
  std::vector<uint8_t> bytes;
  size_t next = 0;

  size_t size() const { return bytes.size() - next; }
  const uint8_t* data() const { return bytes.data() + next; }
  void Clear() {
    bytes.clear();
    next = 0;
  }
  // The transfer's payload as the host must see it: each packet without its first two bytes.
  void Append(std::span<const uint8_t> transfer) {
    for (size_t at = 0; at < transfer.size(); at += kPacket) {
      const size_t end = std::min(transfer.size(), at + kPacket);
      if (end - at > 2)
        bytes.insert(bytes.end(), transfer.begin() + static_cast<long>(at + 2),
                     transfer.begin() + static_cast<long>(end));
    }
  }
};

}  // namespace

// libusb as libftdi calls it. An idle chip answers every bulk-in request with its two status
// bytes; the control requests (purge, reset) empty what it still holds.
extern "C" {

int libusb_init(libusb_context** context) {
  if (context != nullptr)
    *context = nullptr;
  return 0;
}

int libusb_bulk_transfer(libusb_device_handle*, unsigned char, unsigned char* data, int length,
                         int* transferred, unsigned int) {
  if (chip.idle()) {
    ++chip.idle_answers;
    std::memcpy(data, kIdleStatus, 2);
    *transferred = 2;
    return 0;
  }
  const Transfer transfer = chip.waiting[chip.next++];
  if (transfer.fails) {
    *transferred = 0;
    return LIBUSB_ERROR_IO;
  }
  Require(transfer.bytes.size() <= static_cast<size_t>(length),
          "libftdi asks for at least a whole transfer");
  std::copy(transfer.bytes.begin(), transfer.bytes.end(), data);
  *transferred = static_cast<int>(transfer.bytes.size());
  return 0;
}

int libusb_control_transfer(libusb_device_handle*, uint8_t, uint8_t, uint16_t, uint16_t,
                            unsigned char*, uint16_t, unsigned int) {
  chip.Clear();
  return 0;
}

}  // extern "C"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // One context as the open driver's port holds it: an FT245R's 64-byte packets, libftdi's own
  // 4096-byte read buffer.
  static ftdi_context* context = [] {
    ftdi_context* made = ftdi_new();
    Require(made != nullptr, "libftdi starts");
    static int handle;
    ftdi_set_usbdev(made, reinterpret_cast<libusb_device_handle*>(&handle));
    made->max_packet_size = kPacket;
    return made;
  }();
  // Nothing of the last input may reach this one: libftdi's buffer and the chip are emptied.
  chip.Clear();
  ftdi_tciflush(context);
  qvx::ftdi::UsbReader reader(context);

  Payload expected;              // sent and not yet delivered, up to a failing transfer
  bool failure_waiting = false;  // a failing transfer follows `expected`
  static const std::vector<uint8_t> canary(256 * 16, 0xA5);
  const std::span<const uint8_t> input(data, size);
  size_t at = 0;
  auto next = [&]() -> uint8_t { return at < input.size() ? input[at++] : 0; };

  // After a call that met the USB error: what it delivered came from before the error; then the
  // application's purge empties everything and the model starts again.
  auto recover = [&] {
    Require(reader.Purge(), "a purge after a USB error succeeds");
    expected.Clear();
    failure_waiting = false;
  };

  while (at < input.size()) {
    const uint8_t op = next();
    switch (op % 8) {
      case 0:
      case 1:
      case 2: {
        const size_t asked = next() + 256 * ((op >> 3) & 15);
        const size_t length = std::min({asked, kLongestTransfer, input.size() - at});
        const Transfer transfer{input.subspan(at, length)};
        at += length;
        if (!failure_waiting)
          expected.Append(transfer.bytes);
        chip.waiting.push_back(transfer);
        break;
      }
      case 3:
      case 4: {
        const d2xx::Dword count = op % 8 == 4 ? 1 : next() * ((op & 8) != 0 ? 16u : 1u);
        // Exactly the bytes asked for, so that the sanitizer sees any write past them.
        const std::unique_ptr<uint8_t[]> buffer(new uint8_t[count]);
        std::memcpy(buffer.get(), canary.data(), count);
        d2xx::Dword received = 0xFFFFFFFF;
        const int idle_before = chip.idle_answers;
        const d2xx::Status status = reader.Read(buffer.get(), count, received,
                                                [&] { return chip.idle_answers != idle_before; });
        Require(received <= count, "a read never delivers more than asked for");
        Require(received <= expected.size(), "a read delivers nothing that was not sent");
        Require(received == 0 || std::memcmp(buffer.get(), expected.data(), received) == 0,
                "a read delivers the payload in order, the status bytes stripped");
        Require(received == count ||
                    std::memcmp(buffer.get() + received, canary.data(), count - received) == 0,
                "a read writes nothing past what it delivers");
        expected.next += received;
        if (status != d2xx::FT_OK) {
          Require(status == d2xx::FT_IO_ERROR && failure_waiting,
                  "a read fails only on a USB error, with FT_IO_ERROR");
          recover();
          break;
        }
        Require(received == count || (chip.idle() && expected.size() == 0),
                "a read delivers all it was asked for, or all there is once the chip is idle");
        break;
      }
      case 5: {
        d2xx::Dword waiting = 0xFFFFFFFF;
        const d2xx::Status status = reader.QueueStatus(waiting);
        if (status != d2xx::FT_OK) {
          Require(status == d2xx::FT_IO_ERROR && failure_waiting,
                  "a queue query fails only on a USB error, with FT_IO_ERROR");
          recover();
          break;
        }
        Require(waiting <= expected.size(), "a queue query counts only bytes that were sent");
        break;
      }
      case 6:
        Require(reader.Purge(), "a purge succeeds");
        expected.Clear();
        failure_waiting = false;
        Require(chip.idle(), "a purge empties the chip's buffer too");
        break;
      case 7:
        if ((op & 8) != 0) {
          reader.Clear();
          Require(ftdi_usb_reset(context) >= 0, "a reset succeeds");
          expected.Clear();
          failure_waiting = false;
          break;
        }
        chip.waiting.push_back({{}, true});
        failure_waiting = true;
        break;
    }
  }
  chip.Clear();
  return 0;
}
