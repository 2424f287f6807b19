// Where a unit is plugged in, as D2XX's location id gives it: one hex digit per level, the bus
// first and then the port on each hub below it, so 0x142 is bus 1, port 4, port 2, the port path
// "1-4.2" that Linux names the same socket by. FTDI's library fills the location this way; the
// open library and the virtual generator encode their port paths the same way.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "device/d2xx.h"

namespace qvx {

// At most a bus and seven hub levels fit the eight digits of a location id.
inline constexpr int kMaxPortLevels = 7;

// "1-4.2" -> 0x142. Nothing for a path that is not "BUS-PORT[.PORT...]" with every number 1 to 15
// and at most seven ports.
std::optional<d2xx::Dword> LocationOfPortPath(std::string_view path);

// 0x142 -> "1-4.2"; a location with no port (0, or a bus alone) or a zero digit among its ports
// has no port path and reads as its hex value, "0x...".
std::string PortPathOfLocation(d2xx::Dword location);

}  // namespace qvx
