// The steps, sets, records, statuses and the station's session that the loader shares with the
// station windows live in the layers below; the loader names them as its own.
#pragma once

namespace qvx::content {}
namespace qvx::records {}
namespace qvx::station_core {}

namespace qvx::cli {
using namespace content;
using namespace records;
using namespace station_core;
}  // namespace qvx::cli
