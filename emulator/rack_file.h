// The rack file (QVX_VG_RACK): the units attached to the virtual generator, one "SERIAL PORT" line
// each, as a station's sockets see them. The file is the whole truth at the moment it is read, so a
// unit whose line goes away has been pulled and a line that comes back is a fresh plug.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/d2xx.h"

namespace qvx::vg {

struct RackLine {
  std::string serial;
  d2xx::Dword location = 0;  // the port path's location id (device/usb_location.h)
};

// The units `text` lists, in its order. Blank lines and lines starting with '#' say nothing; a
// line that is not exactly a serial number (at most 15 characters, what D2XX lists) and a port
// path is ignored, and so is a second line for a port already listed: the first one wins.
std::vector<RackLine> ParseRack(std::string_view text);

// The file's whole content, or nothing when it cannot be read (no unit attached then).
std::optional<std::string> ReadRackFile(const std::string& path);

}  // namespace qvx::vg
