#include "emulator/rack_file.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "device/usb_location.h"

namespace qvx::vg {
namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// The white-space separated fields of one line.
std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t at = 0;
  while (at < line.size()) {
    while (at < line.size() && IsSpace(line[at]))
      ++at;
    const size_t begin = at;
    while (at < line.size() && !IsSpace(line[at]))
      ++at;
    if (at > begin)
      fields.push_back(line.substr(begin, at - begin));
  }
  return fields;
}

}  // namespace

std::vector<RackLine> ParseRack(std::string_view text) {
  std::vector<RackLine> lines;
  while (!text.empty()) {
    const size_t end = std::min(text.find('\n'), text.size());
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));

    const auto fields = Fields(line);
    if (fields.empty() || fields[0].starts_with('#'))
      continue;
    if (fields.size() != 2 || fields[0].size() >= d2xx::kSerialNumberBuffer)
      continue;
    const auto location = LocationOfPortPath(fields[1]);
    if (!location)
      continue;
    const bool taken = std::any_of(lines.begin(), lines.end(),
                                   [&](const RackLine& l) { return l.location == *location; });
    if (!taken)
      lines.push_back({std::string(fields[0]), *location});
  }
  return lines;
}

std::optional<std::string> ReadRackFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file)
    return std::nullopt;
  std::ostringstream text;
  text << file.rdbuf();
  if (file.bad())
    return std::nullopt;
  return text.str();
}

}  // namespace qvx::vg
