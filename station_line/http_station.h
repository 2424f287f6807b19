// The station's HTTP interface over the station's core: the LineServer the station's control
// makes with --http, and the StationService the interface asks, both over the one control.
#pragma once

#include <memory>

#include "station_core/line_server.h"

namespace qvx::station_line {

// The server of `options` (--http and its companions) over `control`, serving already. Throws
// std::invalid_argument for options it refuses and std::runtime_error when it cannot listen.
std::unique_ptr<station_core::LineServer> ServeOverHttp(const station_core::ServerOptions& options,
                                                        station_core::StationControl& control);

}  // namespace qvx::station_line
