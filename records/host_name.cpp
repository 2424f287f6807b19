// The machine's name, for the records, from the platform.
#include <array>

#include "records/record.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace qvx::records {

#ifdef _WIN32

std::string HostName() {
  std::array<char, MAX_COMPUTERNAME_LENGTH + 1> name{};
  DWORD size = name.size();
  return GetComputerNameA(name.data(), &size) ? std::string(name.data(), size) : std::string();
}

#else

std::string HostName() {
  std::array<char, 256> name{};
  if (gethostname(name.data(), name.size() - 1) != 0)
    return std::string();
  return name.data();
}

#endif

}  // namespace qvx::records
