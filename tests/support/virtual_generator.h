// Test access to the virtual generator: loads its libftd2xx.so the way the application does (by
// plain name, so both share one library and one device) or a given path, and wraps the VG_
// control functions in C++.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "emulator/vg_control.h"

namespace qvx::test {

class VirtualGenerator {
 public:
  // Loads "libftd2xx.so" from the normal library search path.
  VirtualGenerator();
  // Loads the library at `path`; throws std::runtime_error when it cannot be loaded or lacks a
  // VG_ function.
  explicit VirtualGenerator(const std::string& path);

  // The loaded module, for looking up D2XX entry points with dlsym.
  void* library() const { return library_; }
  // An exported symbol of the library, or nullptr.
  void* Symbol(const char* name) const;

  void Reset() const { reset_(); }
  // The selected unit restarted with a fresh generator while an open handle stays open
  // (VG_Restart).
  void Restart() const { restart_(); }
  // `count` units in fresh state, unit 1 selected.
  void SetUnits(int count) const { set_units_(count); }
  // The unit (0-based) the other controls act on; false when there is no such unit.
  bool SelectUnit(int index) const { return select_unit_(index) == 0; }
  // Throws std::runtime_error for a name that is no option, so that a misspelt one fails its test.
  void SetOption(const char* name, long long value) const;
  // The environment variables of every option, in the library's order.
  std::vector<std::string> OptionVariables() const;
  // The variables of the generator as a whole; empty from a library that has none (the USB double).
  std::vector<std::string> GeneratorVariables() const;
  // Unsets every option variable and QVX_VG_CAPTURE, so that from the next Reset no fault, timing
  // or capture comes from outside the test.
  void ClearOptionEnvironment() const;
  void SetStatusAnswers(const std::vector<uint8_t>& answers) const;
  // Empty path = memory only.
  void SetFlashFile(const std::string& path) const;

  std::span<const uint8_t> Flash() const;
  std::span<const uint8_t> Wire() const;
  std::vector<std::string> Calls() const;
  std::vector<std::string> Violations() const;
  bool InLoadingMode() const { return in_loading_mode_() != 0; }

  // "F4 06 80 00": the capture log's byte format.
  static std::string Hex(std::span<const uint8_t> bytes);

 private:
  template <typename Fn>
  void Bind(Fn& fn, const char* name);

  void* library_ = nullptr;
  decltype(&::VG_Reset) reset_ = nullptr;
  decltype(&::VG_Restart) restart_ = nullptr;
  decltype(&::VG_SetUnits) set_units_ = nullptr;
  decltype(&::VG_SelectUnit) select_unit_ = nullptr;
  decltype(&::VG_SetOption) set_option_ = nullptr;
  decltype(&::VG_OptionVariable) option_variable_ = nullptr;
  decltype(&::VG_SetStatusAnswers) set_status_answers_ = nullptr;
  decltype(&::VG_SetFlashFile) set_flash_file_ = nullptr;
  decltype(&::VG_Flash) flash_ = nullptr;
  decltype(&::VG_FlashBytes) flash_bytes_ = nullptr;
  decltype(&::VG_Wire) wire_ = nullptr;
  decltype(&::VG_WireBytes) wire_bytes_ = nullptr;
  decltype(&::VG_CallCount) call_count_ = nullptr;
  decltype(&::VG_Call) call_ = nullptr;
  decltype(&::VG_ViolationCount) violation_count_ = nullptr;
  decltype(&::VG_Violation) violation_ = nullptr;
  decltype(&::VG_InLoadingMode) in_loading_mode_ = nullptr;
};

}  // namespace qvx::test
