#include "emulator/options.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <optional>

namespace qvx::vg {

std::optional<long long> EnvNumber(const char* name) {
  const char* text = std::getenv(name);
  if (text == nullptr || *text == '\0')
    return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(text, &end, 10);
  if (errno != 0 || *end != '\0')
    return std::nullopt;
  return value;
}

std::optional<std::string> EnvText(const GeneratorVariable& variable) {
  const char* text = std::getenv(variable.name);
  if (text == nullptr || *text == '\0')
    return std::nullopt;
  return std::string(text);
}

namespace {

int ClampPolls(long long value) {
  return static_cast<int>(std::clamp(value, 0LL, 1LL << 30));
}

// Milliseconds of emulated flash or USB time, at most a day.
int ClampMs(long long value) {
  return static_cast<int>(std::clamp(value, 0LL, 86'400'000LL));
}

constexpr bool kFault = true;
// The USB latency is the link's, not a fault: every unit has it.
constexpr bool kEveryUnit = false;

constexpr std::array kOptions = {
    Option{"fail_open", "QVX_VG_FAIL_OPEN", kFault,
           [](UnitSettings& s, long long v) { s.faults.fail_open = v != 0; }},
    Option{"unplug_after", "QVX_VG_UNPLUG_AFTER", kFault,
           [](UnitSettings& s, long long v) { s.faults.unplug_after = std::max(v, -1LL); }},
    Option{"glitch_after", "QVX_VG_GLITCH_AFTER", kFault,
           [](UnitSettings& s, long long v) { s.faults.glitch_after = std::max(v, -1LL); }},
    Option{"open_refused_ms", "QVX_VG_OPEN_REFUSED_MS", kFault,
           [](UnitSettings& s, long long v) { s.faults.open_refused_ms = ClampMs(v); }},
    Option{"busy_polls", "QVX_VG_BUSY_POLLS", kFault,
           [](UnitSettings& s, long long v) { s.status.busy_polls = ClampPolls(v); }},
    Option{"never_ready", "QVX_VG_NEVER_READY", kFault,
           [](UnitSettings& s, long long v) { s.status.never_ready = v != 0; }},
    Option{"mute", "QVX_VG_MUTE", kFault,
           [](UnitSettings& s, long long v) { s.status.mute = v != 0; }},
    Option{"erase_ms", "QVX_VG_ERASE_MS", kFault,
           [](UnitSettings& s, long long v) { s.status.erase_ms = ClampMs(v); }},
    Option{"latency_ms", "QVX_VG_LATENCY_MS", kEveryUnit,
           [](UnitSettings& s, long long v) { s.status.latency_ms = ClampMs(v); }},
    Option{"log_calls", "QVX_VG_LOG_CALLS", kEveryUnit,
           [](UnitSettings& s, long long v) { s.log_calls = v != 0; }},
};

}  // namespace

bool HeldInEnvironment(std::string_view serial) {
  const auto held = EnvText(kHeldVariable);
  if (!held || serial.empty())
    return false;
  std::string_view rest = *held;
  while (!rest.empty()) {
    const size_t comma = rest.find(',');
    if (rest.substr(0, comma) == serial)
      return true;
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
  }
  return false;
}

std::span<const Option> Options() {
  return kOptions;
}

const Option* FindOption(std::string_view name) {
  const auto found = std::find_if(kOptions.begin(), kOptions.end(),
                                  [name](const Option& o) { return o.name == name; });
  return found != kOptions.end() ? &*found : nullptr;
}

UnitSettings SettingsFromEnvironment(bool faults_apply) {
  UnitSettings settings;
  for (const Option& option : kOptions) {
    if (option.fault && !faults_apply)
      continue;
    if (const auto value = EnvNumber(option.variable))
      option.apply(settings, *value);
  }
  return settings;
}

}  // namespace qvx::vg
