#include "tests/usb-double/usb_bus.h"

#include <algorithm>
#include <iterator>
#include <optional>

#include "emulator/options.h"
#include "emulator/text.h"
#include "flash/flash_file.h"

namespace qvx::usbdouble {
namespace {

// The foreign device: an FTDI serial adapter with a product id outside libftdi's default list,
// as FTDI assigns to its customers' products.
constexpr uint16_t kForeignProductId = 0xFAF0;

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
    {"product_id", "QVX_USB_PRODUCT_ID",
     [](BusSettings& s, long long v) { s.product_id = static_cast<uint16_t>(v & 0xFFFF); }},
    {"foreign", "QVX_USB_FOREIGN", [](BusSettings& s, long long v) { s.foreign = v != 0; }},
    {"silent_when_empty", "QVX_USB_SILENT_WHEN_EMPTY",
     [](BusSettings& s, long long v) { s.silent_when_empty = v != 0; }},
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

void Bus::Restart() {
  selected().chip.RestartGenerator();
  calls_.clear();
}

void Bus::MakeBridges() {
  bridges_.clear();
  selected_ = 0;
  const auto now = std::chrono::steady_clock::now();
  for (int i = 0; i < std::max(settings_.devices, 1); ++i) {
    auto bridge = std::make_unique<Bridge>(ft245r::Identity{
        .product_id = settings_.product_id, .serial = vg::Format("QVX%05d", i + 1)});
    // The first bridge keeps its flash where the virtual generator would (QVX_VG_FLASH).
    bridge->generator().flash().Attach(i == 0 ? flash::FlashPathFromEnvironment() : std::nullopt);
    bridge->chip.SetUnplugAfter(settings_.unplug_after);
    bridge->chip.BusReset(now);
    bridge->address = NextAddress();
    bridges_.push_back(std::move(bridge));
  }
  // With no devices the bus still holds one bridge for the VG_ functions, but never shows it.
  if (settings_.devices == 0)
    bridges_.front()->absent = true;
  foreign_.reset();
  if (settings_.foreign) {
    foreign_ = std::make_unique<Bridge>(ft245r::Identity{
        .product_id = kForeignProductId, .product = "USB Serial Converter", .serial = "FT9X0001"});
    foreign_->chip.BusReset(now);
    foreign_->address = NextAddress();
  }
  ApplyStatusBehaviour();
}

uint8_t Bus::NextAddress() {
  const uint8_t address = next_address_;
  next_address_ = next_address_ == 127 ? 2 : static_cast<uint8_t>(next_address_ + 1);
  return address;
}

void Bus::ApplyStatusBehaviour() {
  for (auto& bridge : bridges_) {
    bridge->generator().SetStatusBehaviour(
        {settings_.busy_polls, settings_.never_ready, settings_.mute});
    bridge->chip.SetUnplugAfter(settings_.unplug_after);
  }
}

std::vector<Bridge*> Bus::Attached() {
  std::vector<Bridge*> attached;
  if (foreign_)
    attached.push_back(foreign_.get());
  for (auto& bridge : bridges_) {
    if (!bridge->gone())
      attached.push_back(bridge.get());
  }
  return attached;
}

bool Bus::SetOption(const std::string& name, long long value) {
  const auto* option = std::find_if(std::begin(kOptions), std::end(kOptions),
                                    [&](const BusOption& o) { return name == o.name; });
  if (option == std::end(kOptions))
    return false;
  option->apply(settings_, value);
  if (name == "devices" || name == "fail_open" || name == "product_id" || name == "foreign")
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

void Bus::Log(std::string line) {
  calls_.push_back(std::move(line));
}

}  // namespace qvx::usbdouble
