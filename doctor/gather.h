// Gathers every fact the checks read (facts.h), in the order that keeps the doctor harmless:
// the library and its list first, then what the system shows without opening anything, and last
// the opening of each generator that nothing else holds.
#pragma once

#include <string>

#include "doctor/facts.h"
#include "doctor/library_probe.h"

namespace qvx::doctor {

#if defined(_WIN32)
inline constexpr Platform kThisPlatform = Platform::kWindows;
#else
inline constexpr Platform kThisPlatform = Platform::kLinux;
#endif

Facts GatherFacts(LibraryProbe& probe);

// Puts the library's listed units together with the devices the system shows: one device per
// unit, matched by location (then by serial number where a unit has no location). A unit of the
// virtual generator is no device of this system and is never matched.
void MatchListedUnits(std::vector<DeviceFacts>& devices, const std::vector<ListedUnit>& units,
                      LibraryKind kind);

// What a --report file holds beyond the report: this system's kernel, the library's version and
// the kernel's log lines for the generators' ports (where readable).
std::string SystemFactsText(const Facts& facts);

}  // namespace qvx::doctor
