// What a station offers its production line beyond its own screen and record file: its record
// lines shipped to the line's database, and the station served over HTTP. The Linux programs reach
// the database through records_db/ and serve through station_http/; the Windows programs have
// neither yet, and say so when asked for them.
#pragma once

#include "station_core/line_server.h"

namespace qvx::station_line {

// The makers of --ship's shipper and --http's server for the station's core.
station_core::LineServices Services();

}  // namespace qvx::station_line
