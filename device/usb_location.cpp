// Port paths and location ids.
#include "device/usb_location.h"

#include <cstdio>
#include <vector>

namespace qvx {

std::optional<d2xx::Dword> LocationOfPortPath(std::string_view path) {
  std::vector<unsigned> numbers;
  size_t at = 0;
  for (;;) {
    unsigned number = 0;
    size_t digits = 0;
    while (at < path.size() && path[at] >= '0' && path[at] <= '9' && digits < 3) {
      number = number * 10 + static_cast<unsigned>(path[at] - '0');
      ++at;
      ++digits;
    }
    if (digits == 0 || number == 0 || number > 15)
      return std::nullopt;
    numbers.push_back(number);
    if (at == path.size())
      break;
    // The bus is followed by '-', each port by '.'.
    const char separator = numbers.size() == 1 ? '-' : '.';
    if (path[at] != separator)
      return std::nullopt;
    ++at;
  }
  if (numbers.size() < 2 || numbers.size() > 1 + kMaxPortLevels)
    return std::nullopt;
  d2xx::Dword location = 0;
  for (unsigned number : numbers)
    location = (location << 4) | number;
  return location;
}

std::string PortPathOfLocation(d2xx::Dword location) {
  std::vector<unsigned> digits;
  for (d2xx::Dword rest = location; rest != 0; rest >>= 4)
    digits.insert(digits.begin(), rest & 0xF);
  bool path = digits.size() >= 2;
  for (unsigned digit : digits)
    path = path && digit != 0;
  if (!path) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%X", static_cast<unsigned>(location));
    return hex;
  }
  std::string text = std::to_string(digits[0]);
  for (size_t i = 1; i < digits.size(); ++i)
    text += (i == 1 ? "-" : ".") + std::to_string(digits[i]);
  return text;
}

}  // namespace qvx
