// What a station offers its production line beyond its own screen and record file: its record
// lines shipped to the line's database. The Linux programs reach the database through
// records_db/; the Windows programs have no shipping yet, and say so when asked for it.
#pragma once

#include "station_core/line_shipper.h"

namespace qvx::station_line {

// The maker of --ship's shipper for the station's core; empty where shipping is not available.
station_core::ShipperMaker Shippers();

}  // namespace qvx::station_line
