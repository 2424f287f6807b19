// A protocol violation the generator saw: what broke which rule where, kept as data and put into
// words only when someone reads it. A stream of garbage breaks a rule at nearly every byte, and
// formatting each of those as it happens cost more than parsing the stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qvx::vg {

struct Violation {
  enum class Rule : uint8_t {
    kUnknownCommand,       // `byte` is no command
    kOutsideLoadingMode,   // command `byte` belongs inside loading mode
    kAddressPastEnd,       // `address` set past the end of flash
    kEraseNotSectorStart,  // erase at `address`
    kNonZeroPadding,       // padding `byte` at block byte `at`
    kStorePastEnd,         // `what` at `address` reaches past the end of flash
    kRaisesBits,           // `what` at `address` raises `count` bytes' bits, the first at `at`
  };

  Rule rule;
  uint8_t byte = 0;
  uint32_t address = 0;
  std::string_view what = {};  // the storing command: "block" or "pattern"
  size_t count = 0;
  size_t at = 0;
  uint64_t wire_offset = 0;  // where the offending command starts in the host's stream

  bool operator==(const Violation&) const = default;
  // "unknown command byte 5A at wire offset 17", and so on.
  std::string Text() const;
};

}  // namespace qvx::vg
