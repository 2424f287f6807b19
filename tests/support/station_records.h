// A station's record file as two runs of the same plugs can be compared: each line without what
// differs from run to run (its time, its seconds, the host's name, the run's key and its own part
// of the load id), the lines of each load together, the loads in the order they began.
#pragma once

#include <string>
#include <vector>

namespace qvx::test {

// Lines that do not parse as records are kept as they are, so they show in a comparison.
std::vector<std::string> ComparableStationRecords(const std::string& path);

}  // namespace qvx::test
