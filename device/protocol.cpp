// Connection set-up, the loading-mode brackets and the status poll.
#include "device/protocol.h"

#include <cstdint>

#include "device/texts.h"

namespace qvx {

std::array<uint8_t, 4> AddressCommand(uint32_t address) {
  return {CMD_SET_ADDRESS, static_cast<uint8_t>(address >> 16), static_cast<uint8_t>(address >> 8),
          static_cast<uint8_t>(address)};
}

d2xx::Status DeviceLink::OpenByDescription() {
  description_ = DeviceDescription;
  return driver_.GuardedOpenEx(description_.data(), d2xx::FT_OPEN_BY_DESCRIPTION);
}

d2xx::Status DeviceLink::OpenBySerial() {
  return driver_.GuardedOpenEx(serial_.data(), d2xx::FT_OPEN_BY_SERIAL_NUMBER);
}

d2xx::Status DeviceLink::OpenByLocation() {
  // By location the argument is the id itself.
  void* arg = reinterpret_cast<void*>(static_cast<uintptr_t>(*location_));
  return driver_.GuardedOpenEx(arg, d2xx::FT_OPEN_BY_LOCATION);
}

void DeviceLink::ConnectDevice() {
  driver_.BindDriver();
  const d2xx::Status status = location_         ? OpenByLocation()
                              : serial_.empty() ? OpenByDescription()
                                                : OpenBySerial();
  if (status != d2xx::FT_OK) {
    window_.ShowMessage(kNotRespondingText);
    connected_ = false;
    window_.SetTitle(kPortNotOpenTitle);
  } else {
    driver_.GuardedResetDevice();
    window_.SetTitle(kPortOpenTitle);
    driver_.GuardedSetTimeouts(kSetupTimeoutMs, kSetupTimeoutMs);
    PurgeReceive();
    connected_ = true;
  }
  // The time-outs for the rest of the run; after a failed open this goes to the unopened handle.
  driver_.GuardedSetTimeouts(kReadTimeoutMs, kWriteTimeoutMs);
  window_.Repaint();
}

void DeviceLink::Write(std::span<const uint8_t> bytes) {
  d2xx::Dword written = 0;
  const auto count = static_cast<d2xx::Dword>(bytes.size());
  const d2xx::Status status = driver_.GuardedWrite(bytes.data(), count, &written);
  if (status != d2xx::FT_OK || written != count) {
    write_failed_ = true;
    throw DeviceFault(kWriteRefusedText);
  }
}

void DeviceLink::WriteCommand(uint8_t command) {
  Write(std::span<const uint8_t>(&command, 1));
}

void DeviceLink::SetAddress(uint32_t address) {
  Write(AddressCommand(address));
  BusyPause();
}

void DeviceLink::SendBeginLoad() {
  if (!connected_)
    return;
  window_.ShowWaitCursor();
  WriteCommand(CMD_BEGIN_LOAD);
  BusyPause();
}

void DeviceLink::SendEndLoad() {
  if (!connected_ || write_failed_)
    return;
  WriteCommand(CMD_END_LOAD);
  BusyPause();
}

void DeviceLink::SendFinishWrite() {
  WriteCommand(CMD_FINISH_WRITE);
  BusyPause();
  BusyPause();
}

uint8_t DeviceLink::PollStatus() {
  int attempts = 0;
  int queries = 0;
  uint8_t status = 0;
  PurgeReceive();
  BusyPause();
  std::chrono::milliseconds last_answer = clock_.Now();
  do {
    WriteCommand(CMD_READ_STATUS);
    ++attempts;
    d2xx::Dword waiting = 0;
    // The query budget covers the whole poll: once it is spent, each attempt makes one query.
    do {
      driver_.GuardedGetQueueStatus(&waiting);
      BusyPause();
      ++queries;
    } while (waiting == 0 && queries < kPollQueryBudget);
    d2xx::Dword received = 0;
    driver_.GuardedRead(&status, 1, &received);
    const std::chrono::milliseconds now = clock_.Now();
    if (received > 0) {
      last_answer = now;
    } else if (now - last_answer >= kSilenceLimit) {
      throw DeviceFault(kStoppedAnsweringText);
    }
    clock_.Idle();
  } while (status == 0 && attempts < kPollAttempts);
  return status;
}

}  // namespace qvx
