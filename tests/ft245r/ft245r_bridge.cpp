#include "tests/ft245r/ft245r_bridge.h"

#include <algorithm>

namespace qvx::ft245r {
namespace {

constexpr uint8_t kTypeDevice = 1;
constexpr uint8_t kTypeConfiguration = 2;
constexpr uint8_t kTypeString = 3;
constexpr uint16_t kLanguageUsEnglish = 0x0409;

// Standard requests (USB 2.0, chapter 9).
constexpr uint8_t kGetStatus = 0x00;
constexpr uint8_t kClearFeature = 0x01;
constexpr uint8_t kSetFeature = 0x03;
constexpr uint8_t kGetDescriptor = 0x06;
constexpr uint8_t kGetConfiguration = 0x08;
constexpr uint8_t kSetConfiguration = 0x09;
constexpr uint8_t kGetInterface = 0x0A;
constexpr uint8_t kSetInterface = 0x0B;

constexpr uint8_t kTypeMask = 0x60;
constexpr uint8_t kTypeStandard = 0x00;
constexpr uint8_t kTypeVendor = 0x40;
constexpr uint8_t kDirectionIn = 0x80;

constexpr uint8_t kStringManufacturer = 1;
constexpr uint8_t kStringProduct = 2;
constexpr uint8_t kStringSerial = 3;

uint8_t Low(uint16_t v) {
  return static_cast<uint8_t>(v & 0xFF);
}
uint8_t High(uint16_t v) {
  return static_cast<uint8_t>(v >> 8);
}

// The first `length` bytes of `data`, as a device cuts an answer to wLength.
ControlAnswer Answer(std::vector<uint8_t> data, uint16_t length) {
  if (data.size() > length)
    data.resize(length);
  return {false, std::move(data)};
}

const ControlAnswer kStall{true, {}};

}  // namespace

std::vector<uint8_t> DeviceDescriptor(const Identity& identity) {
  return {18,
          kTypeDevice,
          0x00,
          0x02,  // bcdUSB 2.00
          0x00,
          0x00,
          0x00,  // class, subclass, protocol: per interface
          kControlPacket,
          Low(kVendorFtdi),
          High(kVendorFtdi),
          Low(identity.product_id),
          High(identity.product_id),
          Low(kChipRevisionR),
          High(kChipRevisionR),
          kStringManufacturer,
          kStringProduct,
          kStringSerial,
          1};  // bNumConfigurations
}

std::vector<uint8_t> ConfigurationDescriptor() {
  return {// Configuration 1: one interface, bus powered with remote wake-up, 90 mA.
          9, kTypeConfiguration, 32, 0, 1, 1, 0, 0xA0, 45,
          // Interface 0: vendor specific, two endpoints, described by the product string.
          9, 4, 0, 0, 2, 0xFF, 0xFF, 0xFF, kStringProduct,
          // Bulk in and bulk out, 64 bytes.
          7, 5, kEndpointIn, 0x02, static_cast<uint8_t>(kPacketSize), 0, 0,  //
          7, 5, kEndpointOut, 0x02, static_cast<uint8_t>(kPacketSize), 0, 0};
}

std::optional<std::vector<uint8_t>> StringDescriptor(const Identity& identity, uint8_t index) {
  std::string text;
  switch (index) {
    case 0:
      return std::vector<uint8_t>{4, kTypeString, Low(kLanguageUsEnglish),
                                  High(kLanguageUsEnglish)};
    case kStringManufacturer:
      text = identity.manufacturer;
      break;
    case kStringProduct:
      text = identity.product;
      break;
    case kStringSerial:
      text = identity.serial;
      break;
    default:
      return std::nullopt;
  }
  std::vector<uint8_t> descriptor{static_cast<uint8_t>(2 + 2 * text.size()), kTypeString};
  for (char c : text) {  // UTF-16LE; the chip's strings are ASCII
    descriptor.push_back(static_cast<uint8_t>(c));
    descriptor.push_back(0);
  }
  return descriptor;
}

Bridge::Bridge(Identity identity) : identity_(std::move(identity)) {}

void Bridge::BusReset(Time now) {
  generator_.ClearAnswers();
  latency_ms_ = kDefaultLatencyMs;
  configuration_ = 0;
  last_packet_ = now;
}

bool Bridge::SetConfiguration(uint8_t value) {
  if (value > 1)
    return false;
  configuration_ = value;
  return true;
}

ControlAnswer Bridge::Control(const Setup& setup, std::span<const uint8_t>, Time now) {
  if (gone_)
    return kStall;
  switch (setup.request_type & kTypeMask) {
    case kTypeStandard:
      return Standard(setup);
    case kTypeVendor:
      return Vendor(setup, now);
    default:
      return kStall;  // no class requests
  }
}

ControlAnswer Bridge::Standard(const Setup& setup) {
  const bool in = (setup.request_type & kDirectionIn) != 0;
  switch (setup.request) {
    case kGetDescriptor: {
      if (!in)
        return kStall;
      const uint8_t type = High(setup.value);
      const uint8_t index = Low(setup.value);
      if (type == kTypeDevice)
        return Answer(DeviceDescriptor(identity_), setup.length);
      if (type == kTypeConfiguration && index == 0)
        return Answer(ConfigurationDescriptor(), setup.length);
      if (type == kTypeString) {
        if (auto string = StringDescriptor(identity_, index))
          return Answer(std::move(*string), setup.length);
      }
      // A full-speed-only device has no device qualifier or other-speed configuration.
      return kStall;
    }
    case kGetStatus:
      return in ? Answer({0, 0}, setup.length) : kStall;
    case kClearFeature:
    case kSetFeature:
      return {};  // remote wake-up, endpoint halt: accepted
    case kGetConfiguration:
      return in ? Answer({configuration_}, setup.length) : kStall;
    case kSetConfiguration:
      return SetConfiguration(Low(setup.value)) ? ControlAnswer{} : kStall;
    case kGetInterface:
      return in && setup.index == 0 ? Answer({0}, setup.length) : kStall;
    case kSetInterface:
      return setup.index == 0 && setup.value == 0 ? ControlAnswer{} : kStall;
    default:
      return kStall;
  }
}

ControlAnswer Bridge::Vendor(const Setup& setup, Time now) {
  switch (setup.request) {
    case kRequestReset:
      if (setup.value == kResetChip || setup.value == kPurgeTransmit)
        generator_.ClearAnswers();
      if (setup.value == kResetChip)
        last_packet_ = now;
      return {};
    case kRequestPollModemStatus:
      return Answer({kModemStatus, kLineStatus}, setup.length);
    case kRequestSetLatency:
      // The chip counts in whole milliseconds from 1; FTDI's drivers send 1 to 255.
      latency_ms_ = std::max(1u, static_cast<unsigned>(Low(setup.value)));
      return {};
    case kRequestGetLatency:
      return Answer({static_cast<uint8_t>(latency_ms_)}, setup.length);
    case kRequestModemControl:
    case kRequestSetFlowControl:
    case kRequestSetBaudRate:
    case kRequestSetData:
    case kRequestSetEventChar:
    case kRequestSetErrorChar:
    case kRequestSetBitMode:
      return {};
    default:
      return kStall;
  }
}

size_t Bridge::BulkOut(std::span<const uint8_t> bytes) {
  if (gone_)
    return 0;
  size_t taken = bytes.size();
  if (unplug_after_ >= 0) {
    const auto limit = static_cast<uint64_t>(unplug_after_);
    const uint64_t room = limit > accepted_ ? limit - accepted_ : 0;
    if (room < taken) {
      taken = static_cast<size_t>(room);
      gone_ = true;
    }
  }
  const auto accepted = bytes.first(taken);
  generator_.Accept(accepted, wire_.size());
  wire_.insert(wire_.end(), accepted.begin(), accepted.end());
  accepted_ += taken;
  return taken;
}

Time Bridge::InReadyAt(size_t length, Time now) const {
  const size_t packets = length / kPacketSize;
  const bool fills = length % kPacketSize == 0 && packets > 0 &&
                     generator_.QueuedAnswers() >= packets * (kPacketSize - kStatusBytes);
  if (fills)
    return now;
  return std::max(now, last_packet_ + std::chrono::milliseconds(latency_ms_));
}

std::vector<uint8_t> Bridge::TakeIn(size_t length, Time now) {
  std::vector<uint8_t> out;
  while (out.size() + kStatusBytes <= length) {
    const size_t room = std::min(kPacketSize, length - out.size()) - kStatusBytes;
    const auto answers = generator_.TakeAnswers(room);
    out.push_back(kModemStatus);
    out.push_back(kLineStatus);
    out.insert(out.end(), answers.begin(), answers.end());
    last_packet_ = now;
    if (kStatusBytes + answers.size() < kPacketSize)
      break;  // a short packet ends the transfer
  }
  return out;
}

}  // namespace qvx::ft245r
