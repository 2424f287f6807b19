// Looking slots up in the table of kinds.
#include "download/kinds/slot.h"

#include <charconv>

namespace qvx {

std::optional<SlotKind> KindNamed(std::string_view word) {
  for (const SlotKindInfo& info : kSlotKinds) {
    if (info.word == word)
      return info.kind;
  }
  return std::nullopt;
}

std::optional<Slot> Slot::FromNumber(SlotKind kind, int number) {
  const SlotKindInfo& info = InfoOf(kind);
  if (number < info.first_number || number > info.last_number())
    return std::nullopt;
  return Slot(kind, number - info.first_number);
}

std::optional<Slot> Slot::Parse(SlotKind kind, std::string_view text) {
  int number = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, number);
  if (text.empty() || error != std::errc() || stop != end)
    return std::nullopt;
  return FromNumber(kind, number);
}

std::optional<Slot> Slot::InSetTable(SlotKind table, std::string_view key) {
  if (table == SlotKind::kBanner && key == InfoOf(SlotKind::kCountdown).word)
    return Countdown();
  return Parse(table, key);
}

}  // namespace qvx
