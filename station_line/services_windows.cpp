// The Windows programs' line: no shipping (so the station's core says that it is not available)
// and no HTTP interface, which says so itself.
#include <stdexcept>

#include "station_http/texts.h"
#include "station_line/line_services.h"

namespace qvx::station_line {

station_core::LineServices Services() {
  station_core::LineServices services;
  services.serve = [](const station_core::ServerOptions&,
                      station_core::StationControl&) -> std::unique_ptr<station_core::LineServer> {
    throw std::invalid_argument(station_http::text::kNotOnWindows);
  };
  return services;
}

}  // namespace qvx::station_line
