// The VG_ control functions over the double's bus, so the tests' virtual-generator access works
// unchanged on a generator reached through libftdi: units are the bridges on the bus, and the
// capture holds the double's own lines, one per transfer, for the whole bus.
#include <iterator>
#include <mutex>

#include "emulator/vg_control.h"
#include "tests/usb-double/usb_bus.h"

using qvx::usbdouble::TheBus;

namespace {

// Holds the bus lock for the length of one control call.
struct Locked {
  qvx::usbdouble::Bus& bus = TheBus();
  std::lock_guard<std::mutex> lock{bus.mutex};
};

}  // namespace

void VG_Reset(void) {
  Locked locked;
  locked.bus.Reset();
}

void VG_SetUnits(int count) {
  Locked locked;
  locked.bus.Reset();
  locked.bus.SetOption("devices", count);
}

void VG_Restart(void) {
  Locked locked;
  locked.bus.Restart();
}

int VG_SelectUnit(int index) {
  Locked locked;
  return locked.bus.Select(index) ? 0 : 1;
}

int VG_SetOption(const char* name, long long value) {
  Locked locked;
  return name != nullptr && locked.bus.SetOption(name, value) ? 0 : 1;
}

// The bus's own variables, read at each reset.
const char* VG_OptionVariable(unsigned long index) {
  return qvx::usbdouble::OptionVariable(index);
}

void VG_SetStatusAnswers(const unsigned char* answers, unsigned long count) {
  Locked locked;
  locked.bus.selected().generator().SetScriptedAnswers(
      answers != nullptr ? std::span(answers, count) : std::span<const unsigned char>());
}

void VG_SetFlashFile(const char* path) {
  Locked locked;
  locked.bus.selected().generator().flash().Attach(
      path != nullptr ? std::optional<std::string>(path) : std::nullopt);
}

const unsigned char* VG_Flash(void) {
  Locked locked;
  return locked.bus.selected().generator().flash().image().data();
}

unsigned long VG_FlashBytes(void) {
  Locked locked;
  return locked.bus.selected().generator().flash().image().size();
}

const unsigned char* VG_Wire(void) {
  Locked locked;
  return locked.bus.selected().chip.wire().data();
}

unsigned long VG_WireBytes(void) {
  Locked locked;
  return locked.bus.selected().chip.wire().size();
}

unsigned long VG_CallCount(void) {
  Locked locked;
  return locked.bus.calls().size();
}

const char* VG_Call(unsigned long index) {
  Locked locked;
  const auto& calls = locked.bus.calls();
  return index < calls.size() ? calls[index].c_str() : nullptr;
}

unsigned long VG_ViolationCount(void) {
  Locked locked;
  return locked.bus.selected().generator().violations().size();
}

const char* VG_Violation(unsigned long index) {
  Locked locked;
  const auto& violations = locked.bus.selected().generator().violations();
  return index < violations.size() ? violations[index].c_str() : nullptr;
}

int VG_InLoadingMode(void) {
  Locked locked;
  return locked.bus.selected().generator().loading() ? 1 : 0;
}
