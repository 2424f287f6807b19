// The writes to the generator, read back from its capture log: every FT_Write of the virtual
// generator ("FT_Write F4 06 80 00 -> 0 4") and every bulk-out transfer of the libusb double
// ("bulk out F8 -> 0 1"), as bytes with the status and count the host got back.
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qvx::test {

struct WireWrite {
  std::vector<uint8_t> bytes;
  int status = 0;        // 0: the write was taken
  unsigned written = 0;  // bytes the host was told went out

  bool Taken() const { return status == 0; }
  bool Is(std::initializer_list<uint8_t> expected) const {
    return bytes.size() == expected.size() &&
           std::equal(bytes.begin(), bytes.end(), expected.begin());
  }
};

// The write a capture line records; nothing for any other line.
std::optional<WireWrite> ParseWrite(std::string_view line);

// Every write among `lines` from `from` on.
std::vector<WireWrite> Writes(const std::vector<std::string>& lines, size_t from = 0);

}  // namespace qvx::test
