#include "tests/usb-double/usb_bus.h"

#include <algorithm>
#include <iterator>
#include <optional>

#include "emulator/flash_file.h"
#include "emulator/options.h"
#include "emulator/text.h"

namespace qvx::usbdouble {
namespace {

constexpr size_t kPacketSize = 64;
constexpr size_t kStatusBytes = 2;
constexpr int kLibusbNoDevice = -4;

// Every option: its VG_SetOption name, the environment variable read at each reset (none for the
// ones only tests set), and what a value does to the settings.
struct BusOption {
  const char* name;
  const char* variable;
  void (*apply)(BusSettings&, long long);
};

constexpr BusOption kOptions[] = {
    {"devices", "QVX_USB_DEVICES",
     [](BusSettings& s, long long v) { s.devices = static_cast<int>(std::clamp(v, 0LL, 2LL)); }},
    {"fail_open", nullptr, [](BusSettings& s, long long v) { s.devices = v != 0 ? 0 : 1; }},
    {"init_fails", "QVX_USB_INIT_FAILS",
     [](BusSettings& s, long long v) { s.init_fails = v != 0; }},
    {"mute", "QVX_USB_MUTE", [](BusSettings& s, long long v) { s.mute = v != 0; }},
    {"unplug_after", "QVX_USB_UNPLUG_AFTER",
     [](BusSettings& s, long long v) { s.unplug_after = std::max(v, -1LL); }},
    {"busy_polls", nullptr,
     [](BusSettings& s, long long v) {
       s.busy_polls = static_cast<int>(std::clamp(v, 0LL, 1LL << 30));
     }},
    {"never_ready", nullptr, [](BusSettings& s, long long v) { s.never_ready = v != 0; }},
};

}  // namespace

const char* OptionVariable(size_t index) {
  for (const BusOption& option : kOptions) {
    if (option.variable != nullptr && index-- == 0)
      return option.variable;
  }
  return nullptr;
}

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
  for (const BusOption& option : kOptions) {
    // A variable that is unset or not a number leaves the default.
    if (option.variable == nullptr)
      continue;
    if (const auto value = vg::EnvNumber(option.variable))
      option.apply(settings_, *value);
  }
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
  const auto* option = std::find_if(std::begin(kOptions), std::end(kOptions),
                                    [&](const BusOption& o) { return name == o.name; });
  if (option == std::end(kOptions))
    return false;
  option->apply(settings_, value);
  if (name == "devices" || name == "fail_open")
    MakeBridges();  // fresh bridges, as at power-on
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
