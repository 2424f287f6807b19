#include "tests/support/virtual_generator.h"

#include "emulator/text.h"

#include <dlfcn.h>

#include <cstdlib>
#include <stdexcept>

namespace qvx::test {

VirtualGenerator::VirtualGenerator() : VirtualGenerator("libftd2xx.so") {}

VirtualGenerator::VirtualGenerator(const std::string& path) {
  library_ = dlopen(path.c_str(), RTLD_NOW);
  if (library_ == nullptr) {
    const char* error = dlerror();
    throw std::runtime_error("cannot load " + path + ": " + (error != nullptr ? error : "?"));
  }
  Bind(reset_, "VG_Reset");
  Bind(restart_, "VG_Restart");
  Bind(set_units_, "VG_SetUnits");
  Bind(select_unit_, "VG_SelectUnit");
  Bind(set_option_, "VG_SetOption");
  Bind(option_variable_, "VG_OptionVariable");
  Bind(set_status_answers_, "VG_SetStatusAnswers");
  Bind(set_flash_file_, "VG_SetFlashFile");
  Bind(flash_, "VG_Flash");
  Bind(flash_bytes_, "VG_FlashBytes");
  Bind(wire_, "VG_Wire");
  Bind(wire_bytes_, "VG_WireBytes");
  Bind(call_count_, "VG_CallCount");
  Bind(call_, "VG_Call");
  Bind(violation_count_, "VG_ViolationCount");
  Bind(violation_, "VG_Violation");
  Bind(in_loading_mode_, "VG_InLoadingMode");
}

template <typename Fn>
void VirtualGenerator::Bind(Fn& fn, const char* name) {
  fn = reinterpret_cast<Fn>(Symbol(name));
  if (fn == nullptr)
    throw std::runtime_error(std::string("virtual generator lacks ") + name);
}

void* VirtualGenerator::Symbol(const char* name) const {
  return dlsym(library_, name);
}

void VirtualGenerator::SetOption(const char* name, long long value) const {
  if (set_option_(name, value) != 0)
    throw std::runtime_error(std::string("the virtual generator has no option ") +
                             (name != nullptr ? name : "(null)"));
}

std::vector<std::string> VirtualGenerator::OptionVariables() const {
  std::vector<std::string> variables;
  for (unsigned long i = 0; const char* variable = option_variable_(i); ++i)
    variables.emplace_back(variable);
  return variables;
}

std::vector<std::string> VirtualGenerator::GeneratorVariables() const {
  std::vector<std::string> variables;
  using Names = const char* (*)(unsigned long);
  const auto names = reinterpret_cast<Names>(Symbol("VG_GeneratorVariable"));
  for (unsigned long i = 0; names != nullptr && names(i) != nullptr; ++i)
    variables.emplace_back(names(i));
  return variables;
}

void VirtualGenerator::ClearOptionEnvironment() const {
  for (const std::string& variable : OptionVariables())
    unsetenv(variable.c_str());
  // The flash stays as the test run chose it (memory only, or a file of its own).
  for (const std::string& variable : GeneratorVariables()) {
    if (variable != "QVX_VG_FLASH")
      unsetenv(variable.c_str());
  }
}

void VirtualGenerator::SetStatusAnswers(const std::vector<uint8_t>& answers) const {
  set_status_answers_(answers.data(), answers.size());
}

void VirtualGenerator::SetFlashFile(const std::string& path) const {
  set_flash_file_(path.empty() ? nullptr : path.c_str());
}

std::span<const uint8_t> VirtualGenerator::Flash() const {
  return {flash_(), flash_bytes_()};
}

std::span<const uint8_t> VirtualGenerator::Wire() const {
  return {wire_(), wire_bytes_()};
}

std::vector<std::string> VirtualGenerator::Calls() const {
  std::vector<std::string> calls;
  for (unsigned long i = 0, n = call_count_(); i < n; ++i)
    calls.emplace_back(call_(i));
  return calls;
}

std::vector<std::string> VirtualGenerator::Violations() const {
  std::vector<std::string> violations;
  for (unsigned long i = 0, n = violation_count_(); i < n; ++i)
    violations.emplace_back(violation_(i));
  return violations;
}

std::string VirtualGenerator::Hex(std::span<const uint8_t> bytes) {
  // The same notation as the capture log's.
  return vg::HexBytes(bytes);
}

}  // namespace qvx::test
