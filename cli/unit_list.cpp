// Listing the attached generators.
#include "cli/unit_list.h"

#include <array>
#include <cstdint>

namespace qvx::cli {
namespace {

// One text of device `index`; empty when the library does not give it.
std::string ListedText(Driver& driver, int index, d2xx::Dword what) {
  std::array<char, d2xx::kDescriptionBuffer> text{};  // room for either listing
  // By index, the first argument carries the index itself rather than a pointer.
  void* index_arg = reinterpret_cast<void*>(static_cast<uintptr_t>(index));
  if (driver.GuardedListDevices(index_arg, text.data(), d2xx::FT_LIST_BY_INDEX | what) !=
      d2xx::FT_OK) {
    return std::string();
  }
  text.back() = '\0';
  return text.data();
}

}  // namespace

std::vector<ListedUnit> ListUnits(Driver& driver) {
  std::vector<ListedUnit> units;
  if (driver.table().FT_ListDevices == nullptr)
    return units;
  d2xx::Dword count = 0;
  if (driver.GuardedListDevices(&count, nullptr, d2xx::FT_LIST_NUMBER_ONLY) != d2xx::FT_OK)
    return units;
  for (int index = 0; index < static_cast<int>(count); ++index) {
    units.push_back({index, ListedText(driver, index, d2xx::FT_OPEN_BY_SERIAL_NUMBER),
                     ListedText(driver, index, d2xx::FT_OPEN_BY_DESCRIPTION)});
  }
  return units;
}

}  // namespace qvx::cli
