// The virtual generator's options, in one table: the name VG_SetOption takes, the environment
// variable VG_Reset reads, what a value does to a unit's settings, and whether QVX_VG_FAULT_UNIT
// limits it to one unit. Reading the environment, VG_SetOption and the list of variables that
// tests clear all go through this table, so an option cannot be known to one and missing from
// another.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "emulator/generator.h"
#include "flash/flash_file.h"

namespace qvx::vg {

struct Faults {
  bool fail_open = false;
  long long unplug_after = -1;  // bytes accepted after each open; -1 = never unplugged
  // Bytes accepted after an open before the link drops until the next open, once per plug; -1 =
  // no glitch.
  long long glitch_after = -1;
  // Opens are refused for this long after the unit is plugged in (0: never), as while the kernel
  // binds its driver and udev applies its rules.
  int open_refused_ms = 0;
};

// Everything an option sets on one unit.
struct UnitSettings {
  Faults faults;
  StatusBehaviour status;
  bool log_calls = true;  // keep the capture log of every driver call
};

struct Option {
  std::string_view name;  // as VG_SetOption takes it
  const char* variable;   // the environment variable read at reset
  bool fault;             // QVX_VG_FAULT_UNIT limits it to that unit
  void (*apply)(UnitSettings& settings, long long value);  // parses and clamps
};

std::span<const Option> Options();

// The variable's value when it holds a whole decimal number; an empty or malformed value counts as
// not set.
std::optional<long long> EnvNumber(const char* name);

// The variables that shape the generator as a whole rather than one unit's behaviour.
struct GeneratorVariable {
  const char* name;
  std::string_view meaning;
};
inline constexpr GeneratorVariable kUnitsVariable{"QVX_VG_UNITS", "how many units, 1 by default"};
inline constexpr GeneratorVariable kFaultUnitVariable{
    "QVX_VG_FAULT_UNIT", "the serial number of the one unit the fault options apply to"};
inline constexpr GeneratorVariable kCaptureVariable{"QVX_VG_CAPTURE",
                                                    "a file each unit appends its capture log to"};
inline constexpr GeneratorVariable kFlashVariable{flash::kFlashFileVariable,
                                                  "the flash file, or none for memory only"};
inline constexpr GeneratorVariable kRackVariable{
    "QVX_VG_RACK", "a file of \"SERIAL PORT\" lines: the units attached, instead of QVX_VG_UNITS"};
// Not a fault option: a list of its own, of units another program holds open.
inline constexpr GeneratorVariable kHeldVariable{
    "QVX_VG_HELD", "serial numbers, comma-separated, of units another program holds open"};
inline constexpr std::array kGeneratorVariables = {kUnitsVariable,   kFaultUnitVariable,
                                                   kCaptureVariable, kFlashVariable,
                                                   kRackVariable,    kHeldVariable};

// The variable's text, or nothing when it is not set or empty.
std::optional<std::string> EnvText(const GeneratorVariable& variable);

// Whether QVX_VG_HELD lists `serial`.
bool HeldInEnvironment(std::string_view serial);

// The option called `name`, or nullptr.
const Option* FindOption(std::string_view name);

// The settings a unit starts with: the defaults, changed by each option's variable that is set to a
// number; fault options only when `faults_apply` (this is QVX_VG_FAULT_UNIT's unit, or none is
// set).
UnitSettings SettingsFromEnvironment(bool faults_apply);

}  // namespace qvx::vg
