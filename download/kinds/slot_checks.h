// What the kinds' flash checks share: telling an erased stretch of flash, counting in words, and
// the report of an erased slot.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace qvx {

// Every byte 0xFF.
bool AllErased(std::span<const uint8_t> bytes);

// "1 line", "3 lines".
std::string Plural(size_t count, const char* one, const char* many);

}  // namespace qvx
