// The reader of record files (qvx5120-load --list --record) on arbitrary text: a record file is
// shared between stations and machines, so anyone can hand it anything.
//
// Invariants: reading never throws and never crashes. What it shows for a serial is one line per
// slot of the generator's (a kind word of the table, then the slot number where the kind has
// several), and a serial is shown only when the text holds a completed record for it.
#include <cstdint>
#include <set>
#include <sstream>
#include <string>
#include <string_view>

#include "download/kinds/slot.h"
#include "fuzz/operation_host.h"
#include "records/record.h"

namespace {

using qvx::fuzz::Require;

// The slots a kind has, as the lines show them: "banner 3", "countdown".
const std::set<std::string>& ShownSlots() {
  static const std::set<std::string> shown = [] {
    std::set<std::string> slots;
    for (const qvx::SlotKindInfo& info : qvx::kSlotKinds) {
      for (int row = 0; row < info.count; ++row) {
        const qvx::Slot slot = qvx::Slot::FromRow(info.kind, row);
        slots.insert(std::string(info.word) +
                     (info.count == 1 ? "" : " " + std::to_string(slot.number())));
      }
    }
    return slots;
  }();
  return shown;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::istringstream in(text);
  const auto shown = qvx::records::LastRecordedIn(in);
  if (!shown.empty())
    Require(text.find("\"completed\"") != std::string::npos,
            "a serial is shown only from a completed record");
  for (const auto& [serial, lines] : shown) {
    Require(lines.size() <= ShownSlots().size(), "at most one line per slot");
    std::set<std::string> slots;
    for (const std::string& line : lines) {
      const std::string slot = line.substr(0, line.find("  "));
      Require(ShownSlots().contains(slot), "each line starts with a slot of the generator's");
      Require(slots.insert(slot).second, "each slot is shown once per serial");
    }
  }
  return 0;
}
