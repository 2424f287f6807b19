// The generator's flash chip geometry: where its erase sectors start and end, in two-byte address
// units. This is the chip's own layout, kept apart from the host's sector table so that a wrong
// host table shows up as a violation instead of being mirrored.
#pragma once

#include <cstdint>
#include <optional>

#include "device/protocol.h"

namespace qvx::vg {

inline constexpr uint32_t kFlashBytes = kFlashUnits * 2;

struct SectorExtent {
  uint32_t begin;  // first unit
  uint32_t end;    // one past the last unit
};

// The sector that starts exactly at `unit`, or nothing when no sector starts there.
std::optional<SectorExtent> SectorStartingAt(uint32_t unit);

}  // namespace qvx::vg
