#include "emulator/sector_layout.h"

#include <algorithm>
#include <array>

namespace qvx::vg {
namespace {

// Boot block: 0x0000 (8 Ki units), 0x2000 and 0x3000 (4 Ki each), 0x4000 (16 Ki); then 63 main
// sectors of 32 Ki units up to the end of the chip.
constexpr int kMainSectors = 63;
constexpr std::array<uint32_t, 4> kBootStarts = {0x000000, 0x002000, 0x003000, 0x004000};
constexpr uint32_t kMainSectorUnits = 0x8000;

constexpr std::array<uint32_t, kBootStarts.size() + kMainSectors + 1> BuildStarts() {
  std::array<uint32_t, kBootStarts.size() + kMainSectors + 1> starts{};
  for (size_t i = 0; i < kBootStarts.size(); ++i)
    starts[i] = kBootStarts[i];
  for (int n = 0; n < kMainSectors; ++n) {
    starts[kBootStarts.size() + n] = static_cast<uint32_t>(n + 1) * kMainSectorUnits;
  }
  starts.back() = kFlashUnits;  // the end of the last sector
  return starts;
}

constexpr auto kStarts = BuildStarts();
static_assert(kStarts[kStarts.size() - 2] == 0x1F8000);

}  // namespace

std::optional<SectorExtent> SectorStartingAt(uint32_t unit) {
  const auto last = kStarts.end() - 1;  // the end marker starts no sector
  const auto it = std::lower_bound(kStarts.begin(), last, unit);
  if (it == last || *it != unit)
    return std::nullopt;
  return SectorExtent{*it, *(it + 1)};
}

}  // namespace qvx::vg
