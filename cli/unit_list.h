// The generators attached, as the D2XX library lists them: count, then each one's serial number
// and description by index.
#pragma once

#include <string>
#include <vector>

#include "device/driver_table.h"

namespace qvx::cli {

struct ListedUnit {
  int index = 0;
  std::string serial;
  std::string description;
};

// Lists through a bound driver; empty when the library is missing or lists nothing.
std::vector<ListedUnit> ListUnits(Driver& driver);

}  // namespace qvx::cli
