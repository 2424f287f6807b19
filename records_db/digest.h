// The SHA-256 of bytes in memory, for the key of a line written before lines had one.
#pragma once

#include <string>
#include <string_view>

namespace qvx::records_db {

// Lower-case hex, 64 digits.
std::string Sha256Hex(std::string_view bytes);

}  // namespace qvx::records_db
