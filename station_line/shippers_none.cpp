// --ship where the line's database cannot be reached (the Windows programs): no shipper, so the
// station's core says that shipping is not available.
#include "station_line/line_services.h"

namespace qvx::station_line {

station_core::ShipperMaker Shippers() {
  return {};
}

}  // namespace qvx::station_line
