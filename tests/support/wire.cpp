#include "tests/support/wire.h"

#include <charconv>

namespace qvx::test {
namespace {

constexpr std::string_view kPrefixes[] = {"FT_Write ", "bulk out "};
constexpr std::string_view kArrow = " -> ";

int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

}  // namespace

std::optional<WireWrite> ParseWrite(std::string_view line) {
  size_t start = 0;
  for (std::string_view prefix : kPrefixes) {
    if (line.starts_with(prefix))
      start = prefix.size();
  }
  // The arrow's space is the prefix's own when nothing was written ("FT_Write -> 0 0").
  const size_t arrow = line.find(kArrow, start - 1);
  if (start == 0 || arrow == std::string_view::npos)
    return std::nullopt;
  WireWrite write;
  // "F4 06 80 00": two digits a byte, one space between bytes.
  const std::string_view hex = line.substr(start, arrow < start ? 0 : arrow - start);
  write.bytes.reserve((hex.size() + 1) / 3);
  for (size_t i = 0; i + 1 < hex.size(); i += 3) {
    const int high = HexDigit(hex[i]);
    const int low = HexDigit(hex[i + 1]);
    if (high < 0 || low < 0)
      return std::nullopt;
    write.bytes.push_back(static_cast<uint8_t>(high << 4 | low));
  }
  const std::string_view answer = line.substr(arrow + kArrow.size());
  const char* end = answer.data() + answer.size();
  const auto [after_status, status_error] = std::from_chars(answer.data(), end, write.status);
  if (status_error != std::errc() || after_status == end || *after_status != ' ')
    return std::nullopt;
  if (std::from_chars(after_status + 1, end, write.written).ec != std::errc())
    return std::nullopt;
  return write;
}

std::vector<WireWrite> Writes(const std::vector<std::string>& lines, size_t from) {
  std::vector<WireWrite> writes;
  for (size_t i = from; i < lines.size(); ++i) {
    if (auto write = ParseWrite(lines[i]))
      writes.push_back(std::move(*write));
  }
  return writes;
}

}  // namespace qvx::test
