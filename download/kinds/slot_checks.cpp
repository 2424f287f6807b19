// What the kinds' flash checks share.
#include "download/kinds/slot_checks.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "download/kinds/kind_module.h"
#include "download/kinds/report_texts.h"

namespace qvx {

// Compared a stretch at a time against erased bytes: `info` asks this of all 4 MiB.
bool AllErased(std::span<const uint8_t> bytes) {
  static constexpr size_t kStretch = 4096;
  static const std::array<uint8_t, kStretch> kErased = [] {
    std::array<uint8_t, kStretch> erased;
    erased.fill(0xFF);
    return erased;
  }();
  for (size_t at = 0; at < bytes.size(); at += kStretch) {
    const size_t n = std::min(kStretch, bytes.size() - at);
    if (std::memcmp(bytes.data() + at, kErased.data(), n) != 0)
      return false;
  }
  return true;
}

std::string Plural(size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

SlotReport SlotReport::Erased(std::string slot) {
  return {std::move(slot), true, true, report_text::kErased};
}

}  // namespace qvx
