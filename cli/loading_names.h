// The steps, sets, records and statuses the loader shares with the station windows are the
// loading layer's; the loader names them as its own.
#pragma once

namespace qvx::loading {}

namespace qvx::cli {
using namespace loading;
}  // namespace qvx::cli
