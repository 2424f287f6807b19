#include "tests/usb-double/usb_bus.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "emulator/flash_file.h"
#include "emulator/text.h"

namespace qvx::usbdouble {
namespace {

constexpr size_t kPacketSize = 64;
constexpr size_t kStatusBytes = 2;
constexpr int kLibusbNoDevice = -4;

long long EnvNumber(const char* name, long long fallback) {
  const char* text = std::getenv(name);
  if (text == nullptr || *text == '\0')
    return fallback;
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(text, &end, 10);
  return errno != 0 || *end != '\0' ? fallback : value;
}

}  // namespace

Bus& TheBus() {
  static Bus* bus = [] {
    auto* made = new Bus;  // never destroyed: libftdi may still call in while the process ends
    made->Reset();
    return made;
  }();
  return *bus;
}

void Bus::Reset() {
  settings_ = BusSettings{};
  settings_.devices = static_cast<int>(std::clamp(EnvNumber("QVX_USB_DEVICES", 1), 0LL, 2LL));
  settings_.init_fails = EnvNumber("QVX_USB_INIT_FAILS", 0) != 0;
  settings_.mute = EnvNumber("QVX_USB_MUTE", 0) != 0;
  settings_.unplug_after = std::max(EnvNumber("QVX_USB_UNPLUG_AFTER", -1), -1LL);
  calls_.clear();
  MakeBridges();
}

void Bus::MakeBridges() {
  bridges_.clear();
  selected_ = 0;
  for (int i = 0; i < std::max(settings_.devices, 1); ++i) {
    auto bridge = std::make_unique<Bridge>();
    bridge->serial = vg::Format("QVX%05d", i + 1);
    // The first bridge keeps its flash where the virtual generator would (QVX_VG_FLASH).
    bridge->generator.flash().Attach(i == 0 ? vg::FlashPathFromEnvironment() : std::nullopt);
    bridges_.push_back(std::move(bridge));
  }
  // With no devices the bus still holds one bridge for the VG_ functions, but never shows it.
  if (settings_.devices == 0)
    bridges_.front()->unplugged = true;
  ApplyStatusBehaviour();
}

void Bus::ApplyStatusBehaviour() {
  for (auto& bridge : bridges_) {
    bridge->generator.SetStatusBehaviour(
        {settings_.busy_polls, settings_.never_ready, settings_.mute});
  }
}

bool Bus::SetOption(const std::string& name, long long value) {
  if (name == "devices" || name == "fail_open") {
    settings_.devices =
        name == "devices" ? static_cast<int>(std::clamp(value, 0LL, 2LL)) : (value != 0 ? 0 : 1);
    MakeBridges();
  } else if (name == "init_fails") {
    settings_.init_fails = value != 0;
  } else if (name == "unplug_after") {
    settings_.unplug_after = std::max(value, -1LL);
  } else if (name == "mute") {
    settings_.mute = value != 0;
  } else if (name == "busy_polls") {
    settings_.busy_polls = static_cast<int>(std::clamp(value, 0LL, 1LL << 30));
  } else if (name == "never_ready") {
    settings_.never_ready = value != 0;
  } else {
    return false;
  }
  ApplyStatusBehaviour();
  return true;
}

bool Bus::Select(int index) {
  if (index < 0 || static_cast<size_t>(index) >= bridges_.size())
    return false;
  selected_ = static_cast<size_t>(index);
  return true;
}

int Bus::TakeBytes(Bridge& bridge, std::span<const uint8_t> bytes, int& transferred) {
  size_t taken = bytes.size();
  int status = 0;
  if (settings_.unplug_after >= 0) {
    const auto limit = static_cast<uint64_t>(settings_.unplug_after);
    const uint64_t room = limit > bridge.accepted ? limit - bridge.accepted : 0;
    if (room < taken) {
      taken = static_cast<size_t>(room);
      bridge.unplugged = true;
      status = kLibusbNoDevice;
    }
  }
  const auto accepted = bytes.first(taken);
  bridge.generator.Accept(accepted, bridge.wire.size());
  bridge.wire.insert(bridge.wire.end(), accepted.begin(), accepted.end());
  bridge.accepted += taken;
  transferred = static_cast<int>(taken);
  return status;
}

std::vector<uint8_t> Bus::Packets(Bridge& bridge, size_t length) {
  std::vector<uint8_t> out;
  bool last_full = false;
  do {
    if (out.size() + kStatusBytes > length)
      break;
    const size_t room = std::min(kPacketSize, length - out.size()) - kStatusBytes;
    const auto answers = bridge.generator.TakeAnswers(room);
    out.push_back(kModemStatus);
    out.push_back(kLineStatus);
    out.insert(out.end(), answers.begin(), answers.end());
    // A full packet does not end a transfer: the chip follows it with another, if only status.
    last_full = kStatusBytes + answers.size() == kPacketSize;
  } while (last_full);
  return out;
}

void Bus::Log(std::string line) {
  calls_.push_back(std::move(line));
}

}  // namespace qvx::usbdouble
